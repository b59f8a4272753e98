// The global Ctrl+F grab, driven by real key presses through XTest from another client.
#include "core/seam/Services.h"
#include "platform/x11/X11KeyHold.h"
#include "platform/x11/X11Xkb.h"
#include "support/FakeEvents.h"
#include "support/GuiEnvironment.h"
#include "support/Wait.h"
#include "support/XInput.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace {

using namespace TestSupport;
using namespace std::chrono_literals;

// The hot key the program's start-up would register: the X11 one, on Qt's connection.
Seam::HotKey& InstalledHotKey() {
    return *Seam::Installed().HotKey;
}

bool TakePress() {
    return InstalledHotKey().TakePress();
}

bool PressPending() {
    return InstalledHotKey().PressPending();
}

// X11 answers at once: nothing reaches these.
RecordingHotKeyAnswers noLaterAnswer;

// Takes every press that arrives until the expected number is in and no more come within a
// round trip and a moment. Returns how many more (negative: fewer) came than expected.
int DrainPresses(XInput& input, int expected) {
    input.Sync();
    int taken = 0;
    WaitUntil(
        [&] {
            while (TakePress()) ++taken;
            return taken >= expected;
        },
        5s);
    input.Sync();
    WaitUntil([] { return false; }, 200ms);  // give a stray duplicate the chance to show
    while (TakePress()) ++taken;
    return taken - expected;
}

class HotKey : public testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(InstalledHotKey().Register(noLaterAnswer)); }
    XInput input_{TestDisplay()};
};

TEST_F(HotKey, EachPressIsOneCaptureWhateverTheLockKeys) {
    const struct {
        const char* Name;
        std::vector<xcb_keysym_t> Toggles;
    } cases[] = {{"plain", {}},
                 {"caps lock", {KEY_CAPS_LOCK}},
                 {"num lock", {KEY_NUM_LOCK}},
                 {"both", {KEY_CAPS_LOCK, KEY_NUM_LOCK}}};
    for (const auto& c : cases) {
        for (xcb_keysym_t toggle : c.Toggles) input_.Tap(toggle);
        input_.PressCtrlF();
        EXPECT_EQ(DrainPresses(input_, 1), 0) << c.Name;
        for (xcb_keysym_t toggle : c.Toggles) input_.Tap(toggle);  // back off
    }
}

TEST_F(HotKey, PressesInQuickSuccessionAreEachCounted) {
    for (int i = 0; i < 5; ++i) input_.PressCtrlF();
    EXPECT_EQ(DrainPresses(input_, 5), 0);
}

TEST_F(HotKey, AHeldKeyIsOnePress) {
    input_.KeyDown(KEY_CONTROL_L);
    for (int i = 0; i < 4; ++i) input_.KeyDown(KEY_F);  // auto-repeat sends presses only
    input_.KeyUp(KEY_F);
    input_.KeyUp(KEY_CONTROL_L);
    EXPECT_EQ(DrainPresses(input_, 1), 0);
}

// Presses among the events a client of the test saw while it held a key.
int PressesIn(const std::vector<KeyEventSeen>& events) {
    return static_cast<int>(
        std::count_if(events.begin(), events.end(), [](const KeyEventSeen& e) { return e.Press; }));
}

struct RepeatRate {
    int DelayMs;
    int PerSecond;
};
constexpr RepeatRate FAST_REPEAT{200, 50};

struct HeldCase {
    const char* Name;
    std::optional<RepeatRate> Rate;  // none: the server's own default
    std::vector<xcb_keysym_t> Toggles;
};

void PrintTo(const HeldCase& c, std::ostream* os) {
    *os << c.Name;
}

class HeldHotKey : public HotKey, public testing::WithParamInterface<HeldCase> {};

// The repeats come from the server itself, as they do for a user holding the key.
TEST_P(HeldHotKey, IsOnePressAndTheNextPressIsAnother) {
    const HeldCase& c = GetParam();
    if (c.Rate)
        input_.SetKeyRepeat(c.Rate->DelayMs, c.Rate->PerSecond);
    for (xcb_keysym_t toggle : c.Toggles) input_.Tap(toggle);
    // A server that did not repeat would let a broken filter pass.
    ASSERT_GE(PressesIn(input_.HoldOnOwnWindow(KEY_F, 1s)), 3) << "the server does not repeat";

    input_.HoldCtrlF(2s);
    EXPECT_EQ(DrainPresses(input_, 1), 0) << "held";
    input_.PressCtrlF();
    EXPECT_EQ(DrainPresses(input_, 1), 0) << "the press after the hold";
}

INSTANTIATE_TEST_SUITE_P(
    ServerRepeat, HeldHotKey,
    testing::Values(HeldCase{"DefaultRate", std::nullopt, {}},
                    HeldCase{"FastRate", FAST_REPEAT, {}},
                    HeldCase{"CapsLock", std::nullopt, {KEY_CAPS_LOCK}},
                    HeldCase{"NumLock", std::nullopt, {KEY_NUM_LOCK}},
                    HeldCase{"FastRateCapsAndNumLock", FAST_REPEAT, {KEY_CAPS_LOCK, KEY_NUM_LOCK}}),
    [](const testing::TestParamInfo<HeldCase>& param) { return std::string(param.param.Name); });

// The rule fed with the events a real server sends, both ways it can send repeats: a hold,
// a quick tap and another hold are three new presses.
TEST(HotKeyRepeatRule, CountsEachHoldOnceAsTheServerSendsIt) {
    for (const bool detectable : {true, false}) {
        XInput input(TestDisplay());
        input.SetKeyRepeat(FAST_REPEAT.DelayMs, FAST_REPEAT.PerSecond);
        if (detectable) {
            ASSERT_EQ(KestrelEnableDetectableAutoRepeat(input.Connection()), 1);
        }
        std::vector<KeyEventSeen> events;
        for (const auto hold : {1000ms, 0ms, 1000ms}) {
            // A release and a new press within one millisecond look exactly like a repeat;
            // no hand is that quick, so each hold starts on a later time stamp.
            if (!events.empty()) {
                const xcb_timestamp_t last = events.back().Time;
                ASSERT_TRUE(WaitUntil([&] { return input.ServerTime() != last; }, 5s));
            }
            const auto seen = input.HoldOnOwnWindow(KEY_F, hold);
            if (hold > 0ms) {
                ASSERT_GE(PressesIn(seen), 3) << "the server does not repeat";
                // Each repeat a release and a press, unless XKB was asked to hide them.
                const auto releases = seen.size() - PressesIn(seen);
                EXPECT_EQ(releases == 1, detectable) << releases << " releases";
            }
            events.insert(events.end(), seen.begin(), seen.end());
        }

        Platform::X11::X11KeyHold rule;
        rule.SetRepeatsArePairs(!detectable);
        int newPresses = 0;
        for (const KeyEventSeen& e : events) {
            if (!e.Press) {
                rule.Release(e.Time);
            } else if (rule.Press(e.Time)) {
                ++newPresses;
            }
        }
        EXPECT_EQ(newPresses, 3) << (detectable ? "detectable auto-repeat" : "paired repeats");
    }
}

// The hot key changes how the server sends repeats to Qt's whole connection; Kestrel's own
// text boxes must still type from the real keyboard, a held key repeating, and Ctrl+F must
// still go to the hot key alone.
TEST_F(HotKey, TextBoxesStillTypeAndRepeatAHeldKey) {
    QLineEdit box;
    box.show();
    box.activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return box.hasFocus(); }, 5s));

    input_.TypeText("ab");
    input_.Hold('x', {}, 1s);
    input_.TypeText("c");
    ASSERT_TRUE(WaitUntil([&] { return box.text().endsWith('c'); }, 5s))
        << box.text().toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^abx{3,}c$")).match(box.text()).hasMatch())
        << box.text().toStdString();
    EXPECT_EQ(DrainPresses(input_, 0), 0);

    const QString typed = box.text();
    input_.PressCtrlF();
    EXPECT_EQ(DrainPresses(input_, 1), 0);
    input_.TypeText("d");
    ASSERT_TRUE(WaitUntil([&] { return box.text().endsWith('d'); }, 5s));
    EXPECT_EQ(box.text(), typed + 'd');
}

TEST_F(HotKey, WorksWhileAnotherClientHasTheFocus) {
    xcb_connection_t* c = input_.Connection();
    const xcb_window_t other = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, other, input_.Root(), 0, 0, 100, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(c, other);
    input_.Sync();
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, other, XCB_CURRENT_TIME);
    input_.PressCtrlF();
    EXPECT_EQ(DrainPresses(input_, 1), 0);
}

TEST_F(HotKey, TheWaitDoesNotBlockWhileAPressIsPending) {
    input_.PressCtrlF();
    input_.PressCtrlF();
    ASSERT_TRUE(WaitUntil(PressPending, 5s));
    ASSERT_TRUE(TakePress());
    if (!PressPending()) {
        // The second press may still be on its way; it has to arrive on its own.
        ASSERT_TRUE(WaitUntil(PressPending, 5s));
    }
    // A fallback timer ends a wait that wrongly blocks, so the test fails instead of hanging.
    QTimer::singleShot(3000, [] {});
    QElapsedTimer elapsed;
    elapsed.start();
    Seam::Installed().Loop->WaitMessage();
    EXPECT_LT(elapsed.elapsed(), 1000);
    EXPECT_TRUE(TakePress());
}

TEST_F(HotKey, FollowsTheFKeyWhenTheKeyboardMapChanges) {
    xcb_connection_t* c = input_.Connection();
    const xcb_setup_t* setup = xcb_get_setup(c);
    const xcb_keycode_t oldCode = input_.Keycode(KEY_F);
    const xcb_keycode_t newCode = setup->max_keycode;
    auto* mapping =
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, oldCode, 1), nullptr);
    ASSERT_NE(mapping, nullptr);
    const std::uint8_t perCode = mapping->keysyms_per_keycode;
    std::free(mapping);

    // F moves to the last keycode; its old key now types q.
    std::vector<xcb_keysym_t> f(perCode, 0), q(perCode, 0);
    f[0] = 0x66, f[1] = 0x46;
    q[0] = 0x71, q[1] = 0x51;
    xcb_change_keyboard_mapping(c, 1, newCode, perCode, f.data());
    xcb_change_keyboard_mapping(c, 1, oldCode, perCode, q.data());
    input_.Sync();
    ASSERT_EQ(input_.Keycode(KEY_F), newCode);

    // Until Kestrel has followed, a press goes to the focused window and is simply lost.
    ASSERT_TRUE(WaitUntil(
        [&] {
            input_.PressCtrlF();
            return WaitUntil(PressPending, 300ms);
        },
        10s));
    while (TakePress()) {
    }
    input_.PressCtrlF();
    EXPECT_EQ(DrainPresses(input_, 1), 0);
}

TEST(HotKeyHeldElsewhere, RegistrationFailsAndLeavesNoGrabBehind) {
    XInput other(TestDisplay());
    xcb_connection_t* c = other.Connection();
    auto grabCtrlF = [&](std::uint16_t modifiers) {
        return xcb_request_check(
            c, xcb_grab_key_checked(c, 0, other.Root(), modifiers, other.Keycode(KEY_F),
                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    };
    // The other client holds plain Ctrl+F only; Kestrel's Caps Lock variants would succeed.
    ASSERT_EQ(grabCtrlF(XCB_MOD_MASK_CONTROL), nullptr);

    const KestrelMain::Status failed = InstalledHotKey().Register(noLaterAnswer);
    ASSERT_TRUE(failed);
    EXPECT_NE(failed->Text().find("another program"), std::string::npos) << failed->Text();

    // Every other combination must be free again for the other client.
    for (std::uint16_t lock : {std::uint16_t(XCB_MOD_MASK_LOCK), std::uint16_t(XCB_MOD_MASK_2),
                               std::uint16_t(XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2)}) {
        xcb_generic_error_t* error =
            grabCtrlF(static_cast<std::uint16_t>(XCB_MOD_MASK_CONTROL | lock));
        EXPECT_EQ(error, nullptr) << "modifiers " << lock;
        std::free(error);
    }
}

}  // namespace
