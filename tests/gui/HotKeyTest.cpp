// The global Ctrl+F grab, driven by real key presses through XTest from another client.
#include "platform/HotKey.h"
#include "platform/MessageLoop.h"
#include "support/GuiEnvironment.h"
#include "support/Wait.h"
#include "support/XInput.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include <cstdlib>

namespace {

using namespace TestSupport;
using namespace std::chrono_literals;

// Takes every press that arrives until no more come within a round trip and a moment.
int DrainPresses(XInput& input, int expected) {
    input.Sync();
    WaitUntil(
        [&] {
            // Count without taking, so a press still in flight is not missed.
            int pending = 0;
            while (Platform::TakeHotKeyPress()) ++pending;
            expected -= pending;
            return expected <= 0;
        },
        5s);
    int extra = 0;
    input.Sync();
    WaitUntil([] { return false; }, 200ms);  // give a stray duplicate the chance to show
    while (Platform::TakeHotKeyPress()) ++extra;
    return expected == 0 ? extra : expected > 0 ? -expected : extra;
}

class HotKey : public testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(Platform::RegisterHotKey()); }
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
    ASSERT_TRUE(WaitUntil([] { return Platform::HotKeyPressPending(); }, 5s));
    ASSERT_TRUE(Platform::TakeHotKeyPress());
    if (!Platform::HotKeyPressPending()) {
        // The second press may still be on its way; it has to arrive on its own.
        ASSERT_TRUE(WaitUntil([] { return Platform::HotKeyPressPending(); }, 5s));
    }
    // A fallback timer ends a wait that wrongly blocks, so the test fails instead of hanging.
    QTimer::singleShot(3000, [] {});
    QElapsedTimer elapsed;
    elapsed.start();
    Platform::WaitMessage();
    EXPECT_LT(elapsed.elapsed(), 1000);
    EXPECT_TRUE(Platform::TakeHotKeyPress());
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
            return WaitUntil([] { return Platform::HotKeyPressPending(); }, 300ms);
        },
        10s));
    while (Platform::TakeHotKeyPress()) {
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

    const Platform::Status failed = Platform::RegisterHotKey();
    ASSERT_TRUE(failed);
    EXPECT_NE(failed->Text().indexOf("another program"), -1) << failed->Text().toStdString();

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
