// Start-up, the idle loop and the main window's handlers as the core runs them, on a desktop
// in memory: stored settings, a fixed clock, an in-memory file system and screen, a hot key
// and a message loop driven by the test, and a main window that records what it was told.
#include "core/AppState.h"
#include "core/HotkeyCaption.h"
#include "core/KestrelMain.h"
#include "support/MemoryDesktop.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using KestrelMain::AppState;
using TestSupport::MemoryDesktop;
using TestSupport::ProgramEnded;

constexpr char DEFAULT_BASE[] = "/home/u/Pictures/";
constexpr char CAPTURE_DIR[] = "/home/u/Pictures/KESTREL_07122026_140359";
constexpr char CAPTION_ON[] = "Ctrl-F is the Hot Key";
constexpr char CAPTION_OFF[] = "Hot Key is Disabled";

class CoreMain : public testing::Test {
  protected:
    CoreMain() {
        AppState = {};
        desktop_.Files.AddDirectories(DEFAULT_BASE);
    }
    ~CoreMain() override { AppState = {}; }

    void Store(const std::map<std::string, std::string>& values) {
        for (const auto& [key, text] : values) desktop_.Services.Settings.Values[key] = text;
    }
    std::vector<std::string> Saved() const { return desktop_.Files.FileNames(CAPTURE_DIR); }

    MemoryDesktop desktop_;
    TestSupport::FakeHotKey& hotKey_ = desktop_.HotKey;
    TestSupport::FakeMessageLoop& loop_ = desktop_.Loop;
    TestSupport::RecordingView& view_ = desktop_.View;
};

// The order that matters most: the window is shown before the screen source starts, so that
// a desktop's chooser asked for then comes up in front of it.
TEST_F(CoreMain, StartUpLoadsNamesRegistersCaptionsShowsAndArmsInThatOrder) {
    const struct {
        const char* Name;
        const char* UseHotkey;
        bool Refused;
        std::vector<std::string> Calls;
    } cases[] = {
        {"hot key wanted",
         "1",
         false,
         {"DirLbl /data/KESTREL_07122026_140359", "Register",
          std::string("HotkeyLbl ") + CAPTION_ON, "Show", "GrabStart", "Timer1Interval 2000"}},
        // The caption says what was asked for, whether or not the desktop gave it.
        {"hot key refused",
         "1",
         true,
         {"DirLbl /data/KESTREL_07122026_140359", "Register",
          std::string("HotkeyLbl ") + CAPTION_ON, "Show", "GrabStart", "Timer1Interval 2000"}},
        {"hot key not wanted",
         "0",
         false,
         {"DirLbl /data/KESTREL_07122026_140359", std::string("HotkeyLbl ") + CAPTION_OFF, "Show",
          "GrabStart", "Timer1Interval 2000"}},
        // Only exactly 1 asks for it.
        {"hot key 2",
         "2",
         false,
         {"DirLbl /data/KESTREL_07122026_140359", std::string("HotkeyLbl ") + CAPTION_OFF, "Show",
          "GrabStart", "Timer1Interval 2000"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        MemoryDesktop desktop;
        desktop.Files.AddDirectories("/data");
        if (c.Refused)
            desktop.HotKey.Refuse = KestrelMain::Failure{"Cannot register Ctrl+F", "", "taken"};
        auto& services = desktop.Services;
        // The base directory read from the store names the capture directory: the load
        // comes first.
        services.Settings.Values = {{"BasePath", "/data/"}, {"UseHotkey", c.UseHotkey}};
        AppState.CaptureCount = 12;
        AppState.QuitRequested = KestrelMain::STATE_TRUE;

        KestrelMain::StartUp(DEFAULT_BASE);

        EXPECT_EQ(desktop.Log, c.Calls);
        EXPECT_TRUE(desktop.Files.FolderExists("/data/KESTREL_07122026_140359"));
        EXPECT_EQ(AppState.CaptureDir, "/data/KESTREL_07122026_140359");
        EXPECT_EQ(services.Settings.Batches, 1);
        EXPECT_EQ(AppState.UseHotkey, AppState.HotkeyActive);
        EXPECT_EQ(AppState.CaptureCount, 0);
        EXPECT_EQ(AppState.QuitRequested, KestrelMain::STATE_FALSE);
        // A refusal goes to stderr only, never to a message box.
        EXPECT_TRUE(services.Errors.Reports.empty());
        EXPECT_EQ(services.Errors.Notes,
                  c.Refused ? std::vector<std::string>{"Cannot register Ctrl+F: taken"}
                            : std::vector<std::string>{});
    }
}

TEST_F(CoreMain, StartUpSetsTheIntervalFromThePeriodAndTheTimerOnlyForUseTimer1) {
    const struct {
        const char* UseTimer;
        const char* Period;
        std::int32_t Interval;
        bool Enabled;
        bool Reported;
    } cases[] = {
        {"1", "2", 2000, true, false},
        {"1", "0.0625", 62, true, false},   // 62.5 ms: the tie goes to the even neighbour
        {"1", "0.1875", 188, true, false},  // 187.5 ms: up to the even one
        {"1", "0", 0, true, false},         // switched on, but an interval of 0 never fires
        {"0", "2", 2000, false, false},
        {"2", "2", 2000, false, false},
        // No timer holds 30 days: reported, the interval left as it was, the timer off.
        {"1", "2592000", 5000, false, true},
        {"1", "-1", 5000, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("UseTimer ") + c.UseTimer + ", TimerPeriod " + c.Period);
        MemoryDesktop desktop;
        desktop.Files.AddDirectories(DEFAULT_BASE);
        auto& services = desktop.Services;
        const TestSupport::RecordingView& view = desktop.View;
        services.Settings.Values = {{"UseTimer", c.UseTimer}, {"TimerPeriod", c.Period}};
        KestrelMain::StartUp(DEFAULT_BASE);
        EXPECT_EQ(view.Timer1Interval, c.Interval);
        EXPECT_EQ(view.Timer1Enabled, c.Enabled);
        ASSERT_EQ(services.Errors.Reports.size(), c.Reported ? 1u : 0u);
        if (c.Reported) {
            EXPECT_EQ(services.Errors.Reports[0].What,
                      std::string("Cannot set the timer for a period of ") + c.Period + " seconds");
        }
    }
}

TEST_F(CoreMain, TheLoopTakesAtMostOneHotKeyPressPerPassAndReturnsOnceQuitIsRequested) {
    Store({{"UseHotkey", "1"}});
    KestrelMain::StartUp(DEFAULT_BASE);
    hotKey_.Pending = 5;
    // Pass 1 and 2 dispatch nothing of note; pass 3's dispatch is a click on Quit that
    // only sets the flag (the end itself is the handler's, below).
    loop_.Dispatches = {[] {}, [] {}, [] { AppState.QuitRequested = KestrelMain::STATE_TRUE; }};

    KestrelMain::RunMessageLoop();

    EXPECT_EQ(loop_.Waits, 3);
    EXPECT_EQ(loop_.DoEventsCalls, 3);
    EXPECT_EQ(hotKey_.Pending, 2);
    EXPECT_EQ(AppState.CaptureCount, 3);
    EXPECT_EQ(Saved(), (std::vector<std::string>{"1-140359-0-0.bmp", "2-140359-0-0.bmp",
                                                 "3-140359-0-0.bmp"}));
    EXPECT_EQ(view_.TotalLbl, "Total captures saved: 3");
    EXPECT_FALSE(loop_.Ended);
}

TEST_F(CoreMain, TheLoopLeavesPressesAloneWhenTheHotKeyWasNotWantedAtStartUp) {
    // Wanted now, but not when the program started: Ctrl+F was never taken.
    KestrelMain::StartUp(DEFAULT_BASE);
    AppState.UseHotkey = 1;
    hotKey_.Pending = 2;
    loop_.Dispatches = {[] {}, [] { AppState.QuitRequested = KestrelMain::STATE_TRUE; }};
    KestrelMain::RunMessageLoop();
    EXPECT_EQ(hotKey_.Registrations, 0);
    EXPECT_EQ(hotKey_.Pending, 2);
    EXPECT_EQ(AppState.CaptureCount, 0);
    EXPECT_EQ(loop_.Waits, 2);
}

TEST_F(CoreMain, TheLoopMakesNoPassOnceQuitIsRequested) {
    AppState.HotkeyActive = 1;
    AppState.QuitRequested = KestrelMain::STATE_TRUE;
    hotKey_.Pending = 1;
    KestrelMain::RunMessageLoop();
    EXPECT_EQ(loop_.Waits, 0);
    EXPECT_EQ(hotKey_.Pending, 1);
}

TEST_F(CoreMain, MainStartsIdlesAndEndsTheProgramWhenTheLoopReturns) {
    Store({{"UseHotkey", "1"}, {"UseTimer", "1"}});
    hotKey_.Pending = 1;
    loop_.Dispatches = {[] { AppState.QuitRequested = KestrelMain::STATE_TRUE; }};
    EXPECT_THROW(KestrelMain::Main(DEFAULT_BASE), ProgramEnded);
    EXPECT_TRUE(view_.Shown);
    EXPECT_TRUE(view_.Timer1Enabled);
    EXPECT_EQ(Saved(), std::vector<std::string>{"1-140359-0-0.bmp"});
    EXPECT_TRUE(loop_.Ended);
}

TEST_F(CoreMain, ATickCapturesUnlessUseTimerIs0ThenSwitchesTheTimerOff) {
    KestrelMain::StartUp(DEFAULT_BASE);
    view_.SetTimer1Enabled(true);
    const struct {
        std::int16_t UseTimer;
        int Captures;  // after the tick, in all
        bool Enabled;
    } ticks[] = {{1, 1, true}, {2, 2, true}, {-1, 3, true}, {0, 3, false}};
    for (const auto& t : ticks) {
        SCOPED_TRACE(t.UseTimer);
        AppState.UseTimer = t.UseTimer;
        KestrelMain::Timer1Tick();
        EXPECT_EQ(AppState.CaptureCount, t.Captures);
        EXPECT_EQ(Saved().size(), static_cast<std::size_t>(t.Captures));
        EXPECT_EQ(view_.Timer1Enabled, t.Enabled);
    }
}

TEST_F(CoreMain, QuitSetsTheFlagGivesCtrlFBackAndEndsTheProgramAtOnce) {
    Store({{"UseHotkey", "1"}});
    KestrelMain::StartUp(DEFAULT_BASE);
    EXPECT_THROW(KestrelMain::Quit(), ProgramEnded);
    EXPECT_EQ(AppState.QuitRequested, KestrelMain::STATE_TRUE);
    EXPECT_TRUE(loop_.Ended);
    EXPECT_EQ(loop_.Waits, 0);
    // The last capture's file is on the disk before the program ends.
    const std::vector<std::string> last(desktop_.Log.end() - 2, desktop_.Log.end());
    EXPECT_EQ(last, (std::vector<std::string>{"Unregister", "WaitForSaves"}));
}

// A desktop that asks its user first answers after start-up, from the event dispatch.
TEST_F(CoreMain, ALaterAnswerAboutTheHotKeyShowsTheBoundTriggerOrIsNoted) {
    Store({{"UseHotkey", "1"}});
    KestrelMain::StartUp(DEFAULT_BASE);
    ASSERT_NE(hotKey_.Answers, nullptr);
    EXPECT_EQ(view_.HotkeyLbl, CAPTION_ON);

    hotKey_.Answers->HotKeyGranted("Super+F");
    EXPECT_EQ(view_.HotkeyLbl, "Super-F is the Hot Key");
    // The dialog's captions name it too, the rest of each caption unchanged.
    AppState.UseHotkey = 0;
    KestrelMain::HotkeyLbl.SettingChanged = true;
    EXPECT_EQ(KestrelMain::CurrentHotkeyCaption(),
              "Super-F is the Hot Key.  Hot key will be disabled on next launch.");

    hotKey_.Answers->HotKeyRefused(KestrelMain::Failure{"Cannot register Ctrl+F", "", "denied"});
    EXPECT_EQ(desktop_.Services.Errors.Notes,
              std::vector<std::string>{"Cannot register Ctrl+F: denied"});
    EXPECT_TRUE(desktop_.Services.Errors.Reports.empty());
}

// Each desktop words the bound key its own way; the captions spell it as they spell Ctrl-F.
TEST(ReadableTrigger, DesktopsWordingsReadAsTheCaptionsSpellKeys) {
    const struct {
        const char* Wording;
        const char* Shown;
    } cases[] = {
        {"Press <Control>f", "Ctrl-F"},  // GNOME
        {"Ctrl+F", "Ctrl-F"},            // KDE
        {"CTRL+f", "Ctrl-F"},            // as Kestrel asks for it
        {"Press <Shift><Super>F5", "Shift-Super-F5"},
        {"Ctrl+Alt+Space", "Ctrl-Alt-Space"},
        {"F", "F"},                            // no modifier: as given
        {"Press <Hyper>f", "Press <Hyper>f"},  // a modifier it does not know
        {"Ctrl+", "Ctrl+"},                    // no key
        {"Press the capture key", "Press the capture key"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KestrelMain::ReadableTrigger(c.Wording), c.Shown) << c.Wording;
}

}  // namespace
