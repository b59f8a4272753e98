// Kestrel in a Wayland session, on a real headless sway (desktop-session.sh): the grab, the
// pointer in the capture's name, every trigger, two instances, and the end of the run. Each
// suite here runs in a session of its own.
#include "SwaySession.h"
#include "support/Wait.h"
#include "testkit/MutterRemote.h"

#include <gtest/gtest.h>
#include <QTransform>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace WaylandTest;
using namespace TestKit;
using namespace std::chrono_literals;

// Kestrel's own window out of the pictures: sway keeps it, hidden, in the scratchpad.
void HideWindow(SessionKestrel& kestrel) {
    ASSERT_TRUE(kestrel.Window()) << kestrel.Process().Stderr();
    Sway("[app_id=\"org.ardmoor.Kestrel\"] move scratchpad");
}

// The wlroots suites run once as Kestrel chooses and once more with wlr-screencopy chosen,
// where the compositor offers ext-image-copy-capture too.
class ScreenSourceSessions : public testing::Environment {
  public:
    void SetUp() override {
        if (CaptureProtocol().empty())
            GTEST_SKIP() << "this compositor offers wlr-screencopy alone, as the default run has";
    }
};
const testing::Environment* const SOURCES =
    testing::AddGlobalTestEnvironment(new ScreenSourceSessions);

TEST(WaylandGrab, TheOutputIsCapturedAsTheExactAreaAverageOfItsPicture) {
    const QImage busy = BusyPicture(1920, 1080);
    ASSERT_TRUE(Paint("HEADLESS-1", busy));
    SessionKestrel kestrel;
    HideWindow(kestrel);
    ASSERT_EQ(CaptureAction(), 0) << kestrel.Process().Stderr();
    ASSERT_TRUE(kestrel.WaitForCaptures(1)) << kestrel.Process().Stderr();
    EXPECT_GE(Psnr(kestrel.Capture(kestrel.Captures()[0]), busy), 50.0);
    EXPECT_EQ(kestrel.Said("Wayland: the screen through " + CaptureProtocol() + ","), 1u)
        << kestrel.Process().Stderr();
}

// The output at 0,0 is the primary one; turned a quarter and at scale 2, its picture is
// upright at its size in device pixels.
TEST(WaylandGrab, TheOutputAtTheOriginIsCapturedUprightAtItsPixelSize) {
    Sway("create_output");
    Sway("output HEADLESS-2 mode 1280x720 position -1280 0");
    Sway("output HEADLESS-1 scale 2 transform 90");
    const QImage upright = BusyPicture(1080, 1920);
    ASSERT_TRUE(Paint("HEADLESS-1", upright));
    ASSERT_TRUE(
        Paint("HEADLESS-2", BusyPicture(1280, 720).transformed(QTransform::fromScale(-1, 1))));
    SessionKestrel kestrel;
    HideWindow(kestrel);
    ASSERT_EQ(CaptureAction(), 0);
    ASSERT_TRUE(kestrel.WaitForCaptures(1)) << kestrel.Process().Stderr();
    EXPECT_GE(Psnr(kestrel.Capture(kestrel.Captures()[0]), upright), 50.0);
    EXPECT_NE(
        kestrel.Process().Stderr().find("primary output HEADLESS-1 (1080 x 1920 pixels at 0,0)"),
        std::string::npos)
        << kestrel.Process().Stderr();
}

TEST(WaylandPointer, TheNameHoldsThePointerInThePicturesPixelsNegativeOnTheLeft) {
    VirtualPointer pointer;
    ASSERT_TRUE(pointer.Ready());
    SessionKestrel kestrel;
    HideWindow(kestrel);
    // sway's cursor is placed from the layout's top-left corner: the one output's, then,
    // once a second one is on its left, that one's.
    // Last, the primary output at scale 2: its device pixels are twice its logical ones.
    const struct {
        int Outputs;
        int X, Y;
        const char* Place;
        int Scale = 1;
    } cases[] = {{1, 96, 54, "40-30.bmp"},
                 {2, 1920 + 960, 540, "400-300.bmp"},
                 {2, 1920 + 96, 54, "40-30.bmp"},
                 {2, 960, 540, "-400-300.bmp"},
                 {2, 1920 + 48, 27, "40-30.bmp", 2}};
    std::size_t made = 0;
    int outputs = 1;
    int scale = 1;
    for (const auto& c : cases) {
        if (c.Outputs > outputs) {
            Sway("create_output");
            Sway("output HEADLESS-2 mode 1920x1080 position -1920 0");
            outputs = c.Outputs;
        }
        if (c.Scale != scale)
            Sway("output HEADLESS-1 scale " + std::to_string(scale = c.Scale));
        pointer.MoveTo(c.X, c.Y);
        ASSERT_EQ(CaptureAction(), 0);
        ASSERT_TRUE(kestrel.WaitForCaptures(++made)) << kestrel.Process().Stderr();
        const std::string prefix = std::to_string(made) + "-";
        std::string place;
        for (const std::string& name : kestrel.Captures()) {
            if (name.starts_with(prefix))  // N-hhmmss-x-y.bmp
                place = name.substr(prefix.size() + 7);
        }
        EXPECT_EQ(place, c.Place) << "the pointer at " << c.X << "," << c.Y << " of the layout";
    }
}

// Outputs come, change and go under a running Kestrel: every timer capture shows the primary
// output (the one at 0,0, else the first) as it is then, named with the pointer in its pixels;
// with no output left that is said once, and the captures go on once one is back.
TEST(WaylandOutputs, TimerCapturesFollowThePrimaryOutputThroughEveryChange) {
    VirtualPointer pointer;
    ASSERT_TRUE(pointer.Ready());
    SessionKestrel kestrel(Settings{{"UseTimer", "1"}, {"TimerPeriod", "0.3"}});
    HideWindow(kestrel);
    // The newest capture: its number, and its name from the pointer's place on.
    const auto newest = [&] {
        std::pair<int, std::string> found{0, ""};
        for (const std::string& name : kestrel.Captures())  // N-hhmmss-x-y.bmp
            found = std::max(found, std::pair{std::stoi(name), name.substr(name.find('-') + 8)});
        return found;
    };
    const std::string noScreen = "The screen is not ready yet: the compositor shows no output";
    // The pointer from the layout's top-left corner; no place while there is no screen.
    const struct {
        const char* Command;
        const char* Gone;  // the output it takes away
        int X, Y;
        const char* Place;
    } steps[] = {
        {"create_output; output HEADLESS-2 mode 1600x900 position -1600 0", nullptr, 1120, 360,
         "-200-200.bmp"},
        {"output HEADLESS-1 mode 1280x720", nullptr, 1600 + 640, 360, "400-300.bmp"},
        // 720 x 1280 pixels upright, 360 x 640 logical ones.
        {"output HEADLESS-1 scale 2 transform 90", nullptr, 1600 + 90, 160, "200-150.bmp"},
        {"output HEADLESS-1 disable", "HEADLESS-1", 800, 450, "400-300.bmp"},  // the first left
        {"output HEADLESS-2 unplug", "HEADLESS-2", 0, 0, nullptr},
        {"output HEADLESS-1 enable", nullptr, 90, 160, "200-150.bmp"},
    };
    for (const auto& step : steps) {
        const int before = newest().first;
        Sway(step.Command);
        // sway 1.7 (wlroots 0.15) can neither disable a headless output nor unplug one.
        if (step.Gone != nullptr && Shell("swaymsg -t get_outputs -p | grep '^Output " +
                                          std::string(step.Gone) + " ' | grep -qv disabled") == 0)
            GTEST_SKIP() << "this sway cannot take " << step.Gone << " away";
        if (step.Place == nullptr) {
            EXPECT_TRUE(kestrel.Says(noScreen)) << kestrel.Process().Stderr();
            EXPECT_FALSE(kestrel.Says(noScreen, 2, 2s)) << kestrel.Process().Stderr();
        } else {
            pointer.MoveTo(step.X, step.Y);
            EXPECT_TRUE(TestSupport::WaitUntil(
                [&] { return newest().first > before && newest().second == step.Place; }, 15s))
                << step.Command << ": " << newest().second << "\n"
                << kestrel.Process().Stderr();
        }
    }
    EXPECT_EQ(kestrel.Said(noScreen), 1u);
    EXPECT_TRUE(kestrel.Process().Running());
}

// The button, the timer, the action and a real held Ctrl+F each make their captures; after
// Quit, sway binds Ctrl+F to nothing of Kestrel's.
TEST(WaylandTriggers, EachTriggerCapturesAndQuitTakesTheBindingAway) {
    VirtualPointer pointer;
    ASSERT_TRUE(pointer.Ready());
    SessionKestrel kestrel(Settings{{"UseHotkey", "1"}});
    const auto window = kestrel.Window();
    ASSERT_TRUE(window) << kestrel.Process().Stderr();
    // Make Capture Now, 240, 1440 twips and 1815 x 495 of them: its middle.
    pointer.MoveTo(window->X + 76, window->Y + 112);
    pointer.Click();
    ASSERT_TRUE(kestrel.WaitForCaptures(1)) << kestrel.Process().Stderr();
    ASSERT_EQ(CaptureAction(), 0);
    ASSERT_TRUE(kestrel.WaitForCaptures(2));
    // Held for 1.5 s: one capture; pressed again: one more.
    ASSERT_EQ(Shell("wtype -M ctrl -P f -s 1500 -p f -m ctrl"), 0);
    ASSERT_TRUE(kestrel.WaitForCaptures(3));
    ASSERT_EQ(Shell("wtype -M ctrl f -m ctrl"), 0);
    ASSERT_TRUE(kestrel.WaitForCaptures(4));
    EXPECT_FALSE(kestrel.WaitForCaptures(5, 1s)) << "a held key made more than one capture";

    // Quit, 5280, 1440 twips, 735 x 495: its middle.
    pointer.MoveTo(window->X + 376, window->Y + 112);
    pointer.Click();
    ASSERT_EQ(kestrel.Process().WaitExit(10s), 0);
    EXPECT_NE(Sway("unbindsym Ctrl+f").find("Could not find binding"), std::string::npos);

    SessionKestrel timed(Settings{{"UseTimer", "1"}, {"TimerPeriod", "0.2"}});
    EXPECT_TRUE(timed.WaitForCaptures(5, 10s)) << timed.Process().Stderr();
}

TEST(WaylandUserBinding, ACtrlFOfTheUsersIsLeftAloneAndTheKeyCountsAsTaken) {
    SessionKestrel kestrel(Settings{{"UseHotkey", "1"}});
    ASSERT_TRUE(kestrel.Says("Cannot register Ctrl+F: sway's configuration already binds it"))
        << kestrel.Process().Stderr();
    ASSERT_EQ(Shell("wtype -M ctrl f -m ctrl"), 0);
    const std::string ran = std::string(std::getenv("KESTREL_SESSION_DIR")) + "/user-binding-ran";
    EXPECT_TRUE(TestSupport::WaitUntil([&] { return std::filesystem::exists(ran); }, 10s));
    EXPECT_TRUE(kestrel.Captures().empty());
}

// The desktop portal's Screenshot, as the user's override chooses it where a compositor's
// own way misbehaves: the same picture, and the portal's file removed once read.
TEST(WaylandScreenshotPortal, TheChosenPortalGivesTheScreenAndLeavesNoFile) {
    const QImage busy = BusyPicture(1920, 1080);
    ASSERT_TRUE(Paint("HEADLESS-1", busy));
    SessionKestrel kestrel({}, {"KESTREL_SCREEN_SOURCE=screenshot"});
    HideWindow(kestrel);
    ASSERT_EQ(CaptureAction(), 0) << kestrel.Process().Stderr();
    ASSERT_TRUE(kestrel.WaitForCaptures(1)) << kestrel.Process().Stderr();
    EXPECT_GE(Psnr(kestrel.Capture(kestrel.Captures()[0]), busy), 50.0);
    EXPECT_EQ(kestrel.Said("through the desktop portal's Screenshot"), 1u);
    // Where this desktop's portal leaves its screenshots.
    EXPECT_FALSE(std::filesystem::exists("/tmp/out.png"));
}

// Two Kestrels: the second says the action's name is taken and runs on; the first keeps the
// action and Ctrl+F. Hidden in the scratchpad it captures on, and SIGTERM ends it with its
// binding gone.
TEST(WaylandLifecycle, ASecondInstanceRunsOnAndTheFirstEndsCleanlyOnSigterm) {
    SessionKestrel first(Settings{{"UseHotkey", "1"}});
    HideWindow(first);
    SessionKestrel second(Settings{{"UseHotkey", "1"}});
    ASSERT_TRUE(second.Window());
    EXPECT_TRUE(second.Says("org.ardmoor.Kestrel")) << second.Process().Stderr();
    second.Process().Kill(SIGTERM);
    ASSERT_EQ(second.Process().WaitExit(10s), 0);

    ASSERT_EQ(Shell("wtype -M ctrl f -m ctrl"), 0);
    ASSERT_TRUE(first.WaitForCaptures(1)) << first.Process().Stderr();
    EXPECT_TRUE(second.Captures().empty());
    first.Process().Kill(SIGTERM);
    ASSERT_EQ(first.Process().WaitExit(10s), 0);
    EXPECT_NE(Sway("unbindsym Ctrl+f").find("Could not find binding"), std::string::npos);
}

// GNOME: the screen through the desktop portal's ScreenCast, granted once in the portal's
// chooser and restored at later starts by the token Kestrel keeps in its state folder.
class WaylandGnome : public ::testing::Test {
  protected:
    static std::string Folder(const std::string& name) {
        return std::string(std::getenv("KESTREL_SESSION_DIR")) + "/" + name;
    }
    static std::unique_ptr<SessionKestrel> Start(const std::string& state,
                                                 const Settings& settings = {}) {
        return std::make_unique<SessionKestrel>(
            settings, std::vector<std::string>{"XDG_STATE_HOME=" + state});
    }
    static constexpr char GRANTED[] = "granted through the ScreenCast portal";

    // The chooser comes up when the portal has it ready: the keys go again until it answered.
    // Shift first: a remote session's first key is lost. Tab reaches the monitor and Alt+S
    // shares it; Escape closes it, which cancels.
    bool Answer(SessionKestrel& kestrel, bool share, const std::string& answered,
                std::size_t times = 1) {
        return TestSupport::WaitUntil(
            [&] {
                remote_.Keys({KEY_SHIFT});
                if (share) {
                    remote_.Keys({KEY_TAB});
                    remote_.Keys({KEY_ALT, KEY_S});
                } else {
                    remote_.Keys({KEY_ESCAPE});
                }
                return kestrel.Says(answered, times, 2s);
            },
            40s);
    }

    MutterRemote remote_;
};

TEST_F(WaylandGnome, TheChosenMonitorIsCapturedWithThePointerAndRestoredAtTheNextStart) {
    ASSERT_TRUE(remote_.Ready());
    const std::string state = Folder("state-chosen");
    const std::string token = state + "/kestrel/screencast-restore-token";
    {
        auto kestrel = Start(state);
        ASSERT_TRUE(Answer(*kestrel, true, GRANTED)) << kestrel->Process().Stderr();
        std::ifstream stored(token);
        std::string first;
        EXPECT_TRUE(std::getline(stored, first) && !first.empty());
        namespace fs = std::filesystem;
        EXPECT_EQ(fs::status(token).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);

        // The stream's frames follow the screen's changes. A new window that mutter does not
        // give the focus goes just below the one that has it, Kestrel's: a click on the
        // picture's corner, away from Kestrel's window at the top left, brings it up.
        const QImage busy = BusyPicture(1920, 1080);
        const ShownPicture shown(busy);
        ASSERT_TRUE(shown.Started());
        EXPECT_TRUE(TestSupport::WaitUntil(
            [&] { return remote_.Click(1910, 1070) && CapturesShow(*kestrel, busy, 2s); }, 20s))
            << kestrel->Process().Stderr();

        // The pointer's hot spot from the stream, in the capture's pixels.
        for (const auto& [x, y, name] :
             {std::tuple{960, 540, "-400-300.bmp"}, std::tuple{300, 200, "-125-111.bmp"}}) {
            remote_.MoveTo(x, y);
            EXPECT_TRUE(TestSupport::WaitUntil(
                [&] {
                    const std::size_t next = kestrel->Captures().size() + 1;
                    return CaptureAction() == 0 && kestrel->WaitForCaptures(next) &&
                           kestrel->Numbered(next).ends_with(name);
                },
                10s))
                << name;
        }
        kestrel->Process().Kill(SIGTERM);
        ASSERT_EQ(kestrel->Process().WaitExit(10s), 0);
    }
    // No chooser now: the token restores the grant, and the new token is kept.
    auto again = Start(state);
    EXPECT_TRUE(again->Says(GRANTED)) << again->Process().Stderr();
    std::ifstream stored(token);
    std::string next;
    EXPECT_TRUE(std::getline(stored, next) && !next.empty());
}

// Cancelled: said once, and the timer does not ask again (the button does: its rule is the
// core's, and the window's place, where a click would go, is mutter's secret).
TEST_F(WaylandGnome, ACancelledChooserIsSaidOnceAndTheTimerDoesNotAskAgain) {
    ASSERT_TRUE(remote_.Ready());
    auto kestrel = Start(Folder("state-cancelled"), {{"UseTimer", "1"}, {"TimerPeriod", "0.2"}});
    const std::string refused = "The desktop did not allow Kestrel to capture the screen";
    ASSERT_TRUE(Answer(*kestrel, false, refused)) << kestrel->Process().Stderr();
    EXPECT_FALSE(kestrel->Says(refused, 2, 2s)) << kestrel->Process().Stderr();
    EXPECT_TRUE(kestrel->Captures().empty());
}

// With the hot key on, the screen is granted and captured whatever the desktop makes of the
// hot key (bare mutter's portal binds no shortcut; GnomeShell below has both sessions side
// by side). The session's desktop entry gives Kestrel its app id, unsaid.
TEST_F(WaylandGnome, WithTheHotKeyOnTheScreenIsGrantedAndCaptured) {
    ASSERT_TRUE(remote_.Ready());
    auto kestrel = Start(Folder("state-hotkey"), {{"UseHotkey", "1"}});
    ASSERT_TRUE(Answer(*kestrel, true, GRANTED)) << kestrel->Process().Stderr();
    // Bound or not, the hot key's session was made.
    EXPECT_TRUE(TestSupport::WaitUntil(
        [&] {
            return kestrel->Said("Cannot register Ctrl+F") + kestrel->Said("hot key through") > 0;
        },
        15s))
        << kestrel->Process().Stderr();
    EXPECT_TRUE(TestSupport::WaitUntil(
        [&] { return CaptureAction() == 0 && kestrel->WaitForCaptures(1, 2s); }, 10s))
        << kestrel->Process().Stderr();
    EXPECT_EQ(kestrel->Said("cannot tell Kestrel"), 0u) << kestrel->Process().Stderr();
}

// The stream gone (the desktop stopped the cast; here PipeWire ends): said once, and Kestrel
// runs on. Last in the suite, which ends the session's PipeWire.
TEST_F(WaylandGnome, AStreamThatEndsIsSaidOnceAndKestrelRunsOn) {
    auto kestrel = Start(Folder("state-chosen"));
    ASSERT_TRUE(kestrel->Says(GRANTED)) << kestrel->Process().Stderr();
    ASSERT_EQ(kill(std::stoi(std::getenv("KESTREL_PIPEWIRE_PID")), SIGTERM), 0);
    const std::string ended = "Kestrel can no longer capture the screen";
    EXPECT_TRUE(TestSupport::WaitUntil(
        [&] { return CaptureAction() == 0 && kestrel->Said(ended) == 1; }, 15s))
        << kestrel->Process().Stderr();
    EXPECT_EQ(CaptureAction(), 0);
    EXPECT_EQ(kestrel->Said(ended), 1u);
    EXPECT_TRUE(kestrel->Process().Running());
}

}  // namespace

namespace {

// GNOME Shell, which gives the portal its global shortcuts: Kestrel asks for Ctrl+F, and the
// shell asks the user in its "Add Keyboard Shortcuts" dialog.
class GnomeShell : public WaylandGnome {
  protected:
    static constexpr char BOUND[] = "the hot key through the desktop portal, bound to";

    // Both questions answered, in whichever order they come up: the dialog by its Add
    // (Alt+A) or its Cancel (Escape), the chooser by sharing. The shell starts in its
    // overview, which Escape leaves.
    bool AnswerBoth(SessionKestrel& kestrel, bool add, const std::string& answered) {
        return TestSupport::WaitUntil(
            [&] {
                remote_.Keys({KEY_SHIFT});
                if (!kestrel.Said(answered))
                    remote_.Keys(add ? std::initializer_list<std::uint32_t>{KEY_ALT, KEY_A}
                                     : std::initializer_list<std::uint32_t>{KEY_ESCAPE});
                if (!kestrel.Said(GRANTED)) {
                    remote_.Keys({KEY_TAB});
                    remote_.Keys({KEY_ALT, KEY_S});
                }
                return kestrel.Says(answered, 1, 2s) && kestrel.Said(GRANTED) > 0;
            },
            60s);
    }
};

TEST_F(GnomeShell, CtrlFAddedInTheDialogCapturesOnceHeldAndOnceMoreTapped) {
    ASSERT_TRUE(remote_.Ready());
    remote_.Keys({KEY_SHIFT});
    remote_.Keys({KEY_ESCAPE});
    auto kestrel = Start(Folder("state-added"), {{"UseHotkey", "1"}});
    ASSERT_TRUE(AnswerBoth(*kestrel, true, BOUND)) << kestrel->Process().Stderr();
    // In GNOME's words, which the label reads as Ctrl-F.
    EXPECT_TRUE(kestrel->Says(std::string(BOUND) + " Press <Control>f"))
        << kestrel->Process().Stderr();
    // The stream's first picture, which the shell sends at its own pace.
    ASSERT_TRUE(TestSupport::WaitUntil(
        [&] { return CaptureAction() == 0 && kestrel->WaitForCaptures(1, 2s); }, 20s))
        << kestrel->Process().Stderr();
    const std::size_t before = kestrel->Captures().size();
    remote_.Keys({KEY_CONTROL, KEY_F}, 1500ms);
    ASSERT_TRUE(kestrel->WaitForCaptures(before + 1)) << kestrel->Process().Stderr();
    remote_.Keys({KEY_CONTROL, KEY_F});
    ASSERT_TRUE(kestrel->WaitForCaptures(before + 2)) << kestrel->Process().Stderr();
    // The tap's capture came after any the hold could have made.
    EXPECT_EQ(kestrel->Captures().size(), before + 2) << kestrel->Process().Stderr();
}

// Cancelled in the dialog: said once, with the advice to bind the capture action instead.
TEST_F(GnomeShell, ACancelledDialogIsSaidOnceWithTheCaptureActionsAdvice) {
    ASSERT_TRUE(remote_.Ready());
    // The screen through the Screenshot portal, which asks nothing before a capture: the
    // dialog is the one window that comes up, and Escape closes it.
    auto kestrel = std::make_unique<SessionKestrel>(
        Settings{{"UseHotkey", "1"}},
        std::vector<std::string>{"XDG_STATE_HOME=" + Folder("state-cancelled"),
                                 "KESTREL_SCREEN_SOURCE=screenshot"});
    const std::string refused = "Cannot register Ctrl+F";
    ASSERT_TRUE(TestSupport::WaitUntil(
        [&] {
            remote_.Keys({KEY_SHIFT});
            remote_.Keys({KEY_ESCAPE});
            return kestrel->Says(refused, 1, 2s);
        },
        60s))
        << kestrel->Process().Stderr();
    EXPECT_NE(kestrel->Process().Stderr().find("bind Ctrl+F to Kestrel's capture action"),
              std::string::npos)
        << kestrel->Process().Stderr();
    EXPECT_FALSE(kestrel->Says(refused, 2, 2s)) << kestrel->Process().Stderr();
}

}  // namespace
