// The built program, started as a user starts it and watched from outside: its window,
// its files, its processor use, its end.
#include "support/PrivateEnv.h"
#include "support/ProgramTest.h"
#include "support/ScreenPainter.h"
#include "support/SessionBus.h"
#include "support/UiDriving.h"
#include "support/Wait.h"
#include "support/XInput.h"
#include "support/XWindows.h"
#include "support/Xvfb.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <QDateTime>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace TestSupport;
using namespace TestKit;
using namespace std::chrono_literals;

using StartupE2E = ProgramTest;

TEST_F(StartupE2E, FirstStartWritesTheSettingsAndCreatesTheCaptureDirectory) {
    auto kestrel = Start();
    const fs::path dir = kestrel->FindCaptureDir();
    ASSERT_FALSE(dir.empty());
    const auto named = QDateTime::fromString(QString::fromStdString(dir.filename().string()),
                                             QStringLiteral("'KESTREL_'ddMMyyyy_HHmmss"));
    EXPECT_TRUE(named.isValid()) << dir;
    EXPECT_LT(std::abs(named.secsTo(QDateTime::currentDateTime())), 60) << dir;

    const auto settings = env_.ReadSettings();
    EXPECT_EQ(settings.size(), 6u);
    EXPECT_EQ(settings.at("BasePath"), env_.Pictures().string() + "/");
    EXPECT_TRUE(kestrel->Running());
}

TEST_F(StartupE2E, IdleMeansNoProcessorTimeAndNoWakeUps) {
    auto kestrel = Start();
    // Start-up work (first paint, fonts) settles: no change for a whole second.
    long ticks = kestrel->CpuTicks();
    long switches = kestrel->ContextSwitches();
    auto since = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitUntil(
        [&] {
            const long nowTicks = kestrel->CpuTicks(), nowSwitches = kestrel->ContextSwitches();
            if (nowTicks != ticks || nowSwitches != switches) {
                ticks = nowTicks;
                switches = nowSwitches;
                since = std::chrono::steady_clock::now();
            }
            return std::chrono::steady_clock::now() - since >= 1s;
        },
        20s));

    const auto end = std::chrono::steady_clock::now() + 10s;
    WaitUntil([&] { return std::chrono::steady_clock::now() >= end || !kestrel->Running(); }, 11s);
    EXPECT_TRUE(kestrel->Running());
    EXPECT_EQ(kestrel->CpuTicks() - ticks, 0);
    EXPECT_LE(kestrel->ContextSwitches() - switches, 2) << "the process woke up while idle";
}

TEST_F(StartupE2E, ClosingTheWindowEndsAtOnceAndFreesCtrlF) {
    auto first = Start({{"UseHotkey", "1"}});
    const auto window = FindWindowByTitle(input_.Connection(), MAIN_TITLE);
    ASSERT_TRUE(window);
    RequestClose(input_.Connection(), window->Id);
    const auto status = first->WaitExit(5s);
    ASSERT_TRUE(status.has_value()) << "still running after the close";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);

    // The grab went with the process: a new instance takes Ctrl+F straight away.
    fs::remove_all(first->FindCaptureDir());
    auto second = Start({{"UseHotkey", "1"}});
    EXPECT_EQ(second->Stderr().find("Cannot register"), std::string::npos) << second->Stderr();
    input_.PressCtrlF();
    EXPECT_TRUE(WaitUntil([&] { return CaptureFiles(*second) == 1; }, 10s));
}

TEST_F(StartupE2E, EachCtrlFIsExactlyOneCapture) {
    auto kestrel = Start({{"UseHotkey", "1"}, {"OutputWidth", "64"}, {"OutputHeight", "48"}});
    input_.PressCtrlF();
    ASSERT_TRUE(WaitUntil([&] { return CaptureFiles(*kestrel) == 1; }, 10s));
    input_.Tap(KEY_CAPS_LOCK);
    input_.PressCtrlF();
    input_.PressCtrlF();
    ASSERT_TRUE(WaitUntil([&] { return CaptureFiles(*kestrel) == 3; }, 10s));
    input_.Tap(KEY_CAPS_LOCK);
    input_.Tap(KEY_NUM_LOCK);
    input_.PressCtrlF();
    ASSERT_TRUE(WaitUntil([&] { return CaptureFiles(*kestrel) == 4; }, 10s));
    input_.Tap(KEY_NUM_LOCK);
    // Nothing more arrives late.
    input_.Sync();
    EXPECT_FALSE(WaitUntil([&] { return CaptureFiles(*kestrel) > 4; }, 1s));
}

TEST_F(StartupE2E, WithTheHotKeyOffCtrlFDoesNothing) {
    auto kestrel = Start({{"UseHotkey", "0"}});
    input_.PressCtrlF();
    input_.PressCtrlF();
    EXPECT_FALSE(WaitUntil([&] { return CaptureFiles(*kestrel) > 0; }, 2s));
    EXPECT_TRUE(kestrel->Running());
}

TEST_F(StartupE2E, ASecondInstanceStartsWhileTheFirstHoldsCtrlFAndTheBusName) {
    SessionBus bus;
    auto first = Start({{"UseHotkey", "1"}}, {{bus.Variable()}});
    // Both would name their directory after the same second; give the second its own base.
    const fs::path otherBase = env_.Root() / "second";
    fs::create_directory(otherBase);
    env_.WriteSettings({{"UseHotkey", "1"}, {"BasePath", otherBase.string() + "/"}});
    KestrelProcess second(env_, server_.Display(), {{bus.Variable()}});
    ASSERT_TRUE(WaitUntil(
        [&] { return second.Stderr().find("Cannot register Ctrl+F") != std::string::npos; }, 15s))
        << second.Stderr();
    EXPECT_NE(
        second.Stderr().find("Cannot take the session-bus name \u201Corg.ardmoor.Kestrel\u201D"),
        std::string::npos)
        << second.Stderr();
    EXPECT_TRUE(second.Running());
    EXPECT_TRUE(first->Running());
    EXPECT_TRUE(bus.CallKestrel("ActivateAction", "capture '[]' '{}'"));
    EXPECT_EQ(CaptureFiles(*first), 1u);
}

// What a desktop's key binding or a script asks on the session bus: the capture action is
// one capture; Activate is answered; anything else is an error and changes nothing. The
// answer comes only after the handler ran, so each file is in place by then.
TEST_F(StartupE2E, TheSessionBusCaptureActionIsOneCaptureAndTheRestChangesNothing) {
    SessionBus bus;
    auto kestrel = Start({{"OutputWidth", "64"}, {"OutputHeight", "48"}}, {{bus.Variable()}});
    const struct {
        const char* Method;
        const char* Arguments;
        bool Answered;
        std::size_t Files;
    } calls[] = {
        {"ActivateAction", "capture '[]' '{}'", true, 1},
        {"ActivateAction", "capture '[]' '{}'", true, 2},
        {"Activate", "'{}'", true, 2},
        {"Open", "\"['file:///tmp/a.bmp']\" '{}'", false, 2},
        {"ActivateAction", "quit '[]' '{}'", false, 2},
        {"ActivateAction", "capture '[<1>]' '{}'", false, 2},
    };
    for (const auto& c : calls) {
        EXPECT_EQ(bus.CallKestrel(c.Method, c.Arguments), c.Answered) << c.Method << c.Arguments;
        EXPECT_EQ(CaptureFiles(*kestrel), c.Files) << c.Method << c.Arguments;
    }
    EXPECT_TRUE(kestrel->Running());
}

// Not running, Kestrel is started by the bus for its capture action, as a desktop's binding
// or launcher calls it, and makes that one capture before it answers.
TEST_F(StartupE2E, TheCaptureActionStartsKestrelWhenItIsNotRunningAndCapturesOnce) {
    env_.WriteSettings({{"OutputWidth", "64"}, {"OutputHeight", "48"}});
    const SessionBus bus(env_.ChildEnvironment(server_.Display()));
    ASSERT_TRUE(bus.CallKestrel("ActivateAction", "capture '[]' '{}'"));
    EXPECT_GT(bus.KestrelPid(), 0);
    EXPECT_TRUE(WaitForWindow(input_.Connection(), MAIN_TITLE).has_value());
    std::vector<fs::path> captures;
    for (const auto& dir : fs::directory_iterator(env_.Pictures())) {
        for (const auto& file : fs::directory_iterator(dir.path())) captures.push_back(file.path());
    }
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_EQ(captures[0].filename().string().rfind("1-", 0), 0u) << captures[0];
}

TEST_F(StartupE2E, EndSignalsEndTheProgramAsQuitDoes) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        auto kestrel = Start();
        kestrel->Kill(signal);
        const auto status = kestrel->WaitExit(5s);
        ASSERT_TRUE(status.has_value()) << strsignal(signal) << " left it running";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << strsignal(signal);
        // The next start's window is the one found, and its directory may take this name.
        EXPECT_TRUE(WaitUntil([&] { return !FindWindowByTitle(input_.Connection(), MAIN_TITLE); }));
        fs::remove_all(kestrel->FindCaptureDir());
    }
}

TEST_F(StartupE2E, ACaptureDirectoryThatExistsIsReportedAndTheProgramRuns) {
    // Occupy every name the program could pick in the next seconds.
    const QDateTime now = QDateTime::currentDateTime();
    for (int s = 0; s < 30; ++s) {
        fs::create_directory(env_.Pictures() /
                             now.addSecs(s).toString("'KESTREL_'ddMMyyyy_HHmmss").toStdString());
    }
    auto kestrel = Start();
    EXPECT_TRUE(WaitUntil(
        [&] {
            return kestrel->Stderr().find("Cannot create the capture directory") !=
                   std::string::npos;
        },
        10s))
        << kestrel->Stderr();
    EXPECT_NE(kestrel->Stderr().find("File exists"), std::string::npos) << kestrel->Stderr();
    EXPECT_TRUE(kestrel->Running());
}

// Outside X11, and in a Wayland session even with Qt's windows on XWayland (where an X11
// client sees only XWayland's windows), the X11 backend is not used: the hot key and the
// screen say why, and the program runs on.
TEST_F(StartupE2E, WithoutAScreenBackendTheHotKeyAndTheScreenSayWhyAndNothingCrashes) {
    env_.WriteSettings({{"UseHotkey", "1"}});
    const struct {
        std::vector<std::string> Environment;
        const char* Why;
    } cases[] = {
        {{"QT_QPA_PLATFORM=offscreen"}, "(the display runs \u201Coffscreen\u201D)"},
        // Not X11 even on XWayland: the Wayland backend, whose compositor is not there.
        {{"QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY=wayland-9"},
         "(Cannot connect to the Wayland compositor"},
    };
    for (const auto& c : cases) {
        KestrelProcess kestrel(env_, server_.Display(), {c.Environment});
        for (const std::string what : {"Cannot register Ctrl+F", "Cannot capture the screen"}) {
            const std::string line =
                what + ": no screen backend is available for this session " + c.Why;
            EXPECT_TRUE(
                WaitUntil([&] { return kestrel.Stderr().find(line) != std::string::npos; }, 15s))
                << kestrel.Stderr();
        }
        EXPECT_TRUE(kestrel.Running());
    }
}

// What the main window looks like on the screen, without the directory line: its path
// names the second the run started.
std::vector<Rgb> LookOf(ScreenPainter& painter, const WindowInfo& window) {
    const std::vector<Rgb> screen = painter.ReadScreen();
    const int dirTop = 24, dirBottom = 41;  // 360 to 615 twips
    std::vector<Rgb> look;
    for (int y = 0; y < window.Height; ++y) {
        if (y >= dirTop && y < dirBottom)
            continue;
        for (int x = 0; x < window.Width; ++x) {
            const int sx = window.X + x, sy = window.Y + y;
            if (sx >= 0 && sy >= 0 && sx < painter.Width() && sy < painter.Height())
                look.push_back(screen[static_cast<std::size_t>(sy) * painter.Width() + sx]);
        }
    }
    return look;
}

TEST_F(StartupE2E, ArgumentsAreNotReadNotEvenTheToolkitsOwn) {
    const fs::path styleSheet = env_.Root() / "red.qss";
    std::ofstream(styleSheet) << "* { background: red; color: yellow; }\n";
    ScreenPainter painter(server_.Display());

    const auto usual = Start();
    const auto expected = FindWindowByTitle(input_.Connection(), MAIN_TITLE);
    ASSERT_TRUE(expected);
    std::vector<Rgb> expectedLook;
    // Painted once two readings in a row agree and the window is not blank.
    ASSERT_TRUE(WaitUntil([&] {
        std::vector<Rgb> look = LookOf(painter, *expected);
        const bool settled =
            look == expectedLook &&
            std::adjacent_find(look.begin(), look.end(), std::not_equal_to<>()) != look.end();
        expectedLook = std::move(look);
        return settled;
    }));
    // Each run ends with its window gone from the server, so that the next run's window is
    // the one found, and with its capture directory gone, so that the next may take its name.
    const auto end = [&](KestrelProcess& kestrel) {
        kestrel.Kill(SIGKILL);
        kestrel.WaitExit(10s);
        EXPECT_TRUE(WaitUntil([&] { return !FindWindowByTitle(input_.Connection(), MAIN_TITLE); }));
        fs::remove_all(kestrel.FindCaptureDir());
    };
    end(*usual);

    const std::vector<std::vector<std::string>> argumentLists{
        {"-title", "Hello", "-geometry", "600x300+500+400"},
        {"-qwindowtitle", "Hello", "-qwindowgeometry", "600x300+500+400"},
        {"-style", "Windows", "-reverse"},
        {"-stylesheet", styleSheet.string()},
        {"-platform", "offscreen"},
        {"-display", ":99"},
    };
    for (const auto& arguments : argumentLists) {
        std::string line;
        for (const std::string& argument : arguments) line += " " + argument;
        SCOPED_TRACE("kestrel" + line);
        LaunchOptions options;
        options.Arguments = arguments;
        const auto kestrel = Start({}, options);
        // Without a main window Start has already failed the test.
        const auto window = FindWindowByTitle(input_.Connection(), MAIN_TITLE);
        if (window) {
            EXPECT_EQ(window->X, expected->X);
            EXPECT_EQ(window->Y, expected->Y);
            EXPECT_EQ(window->Width, expected->Width);
            EXPECT_EQ(window->Height, expected->Height);
            EXPECT_TRUE(WaitUntil([&] { return LookOf(painter, *window) == expectedLook; }))
                << "the window looks different";
        }
        EXPECT_TRUE(kestrel->Running());
        end(*kestrel);
    }
}

}  // namespace
