// The built program captures as a user drives it: Ctrl+F and the timer save files named
// after count, time and pointer; only the primary monitor is captured; a full disk is
// reported and survived.
#include "support/PrivateEnv.h"
#include "support/ProgramTest.h"
#include "support/ScreenPainter.h"
#include "support/Wait.h"
#include "support/XInput.h"
#include "support/XWindows.h"
#include "support/Xvfb.h"
#include "testkit/BmpReader.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace TestSupport;
using namespace TestKit;
using namespace std::chrono_literals;

class CaptureE2E : public ProgramTest {
  protected:
    explicit CaptureE2E(XvfbOptions options = {}) : ProgramTest(options) {}

    // Presses Ctrl+F and waits for the capture file it makes.
    fs::path CaptureWithCtrlF(const KestrelProcess& process, std::size_t filesBefore) {
        input_.PressCtrlF();
        const fs::path dir = process.FindCaptureDir();
        EXPECT_TRUE(WaitUntil([&] { return ListFiles(dir).size() > filesBefore; }))
            << "no capture file; stderr:\n"
            << process.Stderr();
        const auto files = ListFiles(dir);
        return files.size() > filesBefore ? files.back() : fs::path();
    }
};

TEST_F(CaptureE2E, EachCtrlFSavesOneFileNamedAfterCountTimeAndPointer) {
    auto kestrel = Start({{"UseHotkey", "1"}});
    input_.MovePointer(512, 384);
    const fs::path first = CaptureWithCtrlF(*kestrel, 0);
    EXPECT_TRUE(std::regex_match(first.filename().string(), std::regex(R"(1-\d{6}-400-300\.bmp)")))
        << first;
    input_.MovePointer(1023, 767);
    const fs::path second = CaptureWithCtrlF(*kestrel, 1);
    EXPECT_TRUE(std::regex_match(second.filename().string(), std::regex(R"(2-\d{6}-799-599\.bmp)")))
        << second;
    for (const fs::path& file : {first, second}) {
        const BmpImage bmp = ReadBmp(file);
        ASSERT_TRUE(bmp.Ok()) << file << ": " << bmp.Error;
        EXPECT_EQ(bmp.Width, 800);
        EXPECT_EQ(bmp.Height, 600);
        EXPECT_EQ(bmp.BitsPerPixel, 24);
    }
    // Exactly one file per press.
    EXPECT_FALSE(WaitUntil([&] { return ListFiles(kestrel->FindCaptureDir()).size() > 2; }, 500ms));
    EXPECT_TRUE(kestrel->Running());
}

TEST_F(CaptureE2E, EachTimerTickSavesAFile) {
    auto kestrel = Start({{"UseTimer", "1"}, {"TimerPeriod", "0.25"}});
    EXPECT_TRUE(WaitUntil([&] { return ListFiles(kestrel->FindCaptureDir()).size() >= 3; }))
        << kestrel->Stderr();
    const auto files = ListFiles(kestrel->FindCaptureDir());
    ASSERT_GE(files.size(), 3u);
    for (const fs::path& file : files) EXPECT_TRUE(ReadBmp(file).Ok()) << file;
    // Numbered 1, 2, 3, ... without gaps.
    for (std::size_t n = 1; n <= 3; ++n) {
        EXPECT_TRUE(std::any_of(files.begin(), files.end(),
                                [n](const fs::path& f) {
                                    return f.filename().string().starts_with(std::to_string(n) +
                                                                             "-");
                                }))
            << "capture " << n;
    }
}

TEST_F(CaptureE2E, AFullDiskIsReportedLeavesNothingAndTheProgramGoesOn) {
    LaunchOptions options;
    options.FileSizeLimit = 64 * 1024;
    auto kestrel = Start({{"UseHotkey", "1"}}, options);
    const fs::path dir = kestrel->FindCaptureDir();
    input_.PressCtrlF();
    ASSERT_TRUE(WaitUntil([&] {
        return kestrel->Stderr().find("File too large") != std::string::npos;
    })) << kestrel->Stderr();
    EXPECT_NE(kestrel->Stderr().find("Cannot save the capture"), std::string::npos);
    EXPECT_TRUE(kestrel->Running());
    EXPECT_TRUE(fs::is_empty(dir));
    // Still answering: the next press is counted and fails the same way.
    input_.PressCtrlF();
    EXPECT_TRUE(WaitUntil([&] { return kestrel->Stderr().find("/2-") != std::string::npos; }))
        << kestrel->Stderr();
    EXPECT_TRUE(kestrel->Running());
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(CaptureE2E, OnceTheDiskHasRoomAgainTheNextCaptureIsSaved) {
    LaunchOptions options;
    options.FileSizeLimit = 64 * 1024;
    auto kestrel = Start({{"UseHotkey", "1"}}, options);
    input_.PressCtrlF();
    ASSERT_TRUE(WaitUntil([&] {
        return kestrel->Stderr().find("File too large") != std::string::npos;
    })) << kestrel->Stderr();
    const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
    if (prlimit(kestrel->Pid(), RLIMIT_FSIZE, &unlimited, nullptr) != 0) {
        GTEST_SKIP() << "the child's hard file-size limit cannot be raised from here";
    }
    const fs::path saved = CaptureWithCtrlF(*kestrel, 0);
    EXPECT_TRUE(saved.filename().string().starts_with("2-")) << saved;
    EXPECT_TRUE(ReadBmp(saved).Ok());
}

// Three monitors side by side on one screen, the primary in the middle.
class CaptureMonitorsE2E : public CaptureE2E {
  protected:
    CaptureMonitorsE2E() : CaptureE2E(XvfbOptions{3072, 768, 24, {}}) {}
};

bool Xrandr(const std::string& display, const std::string& arguments) {
    return std::system(
               ("xrandr -display " + display + " " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

TEST_F(CaptureMonitorsE2E, OnlyThePrimaryMonitorIsSavedAndThePointerIsMeasuredFromIt) {
    const std::string display = server_.Display();
    ASSERT_TRUE(Xrandr(display, "--setmonitor left 1024/270x768/203+0+0 none"));
    ASSERT_TRUE(Xrandr(display, "--setmonitor '*middle' 1024/270x768/203+1024+0 none"));
    ASSERT_TRUE(Xrandr(display, "--setmonitor right 1024/270x768/203+2048+0 none"));
    ScreenPainter painter(display);
    painter.Fill(0, 0, 1024, 768, Rgb{255, 0, 0});
    painter.Fill(1024, 0, 1024, 768, Rgb{0, 0, 255});
    painter.Fill(2048, 0, 1024, 768, Rgb{0, 255, 0});

    auto kestrel = Start({{"UseHotkey", "1"}});
    const struct {
        int X, Y;
        const char* Ending;
    } cases[] = {
        {100, 300, "--721-234.bmp"},   // on the left monitor: two hyphens in a row
        {2500, 384, "-1153-300.bmp"},  // on the right one: beyond the output width
        {1536, 384, "-400-300.bmp"},   // the middle of the primary monitor
    };
    std::size_t count = 0;
    for (const auto& c : cases) {
        input_.MovePointer(c.X, c.Y);
        const fs::path file = CaptureWithCtrlF(*kestrel, count++);
        const std::string name = file.filename().string();
        EXPECT_TRUE(name.ends_with(c.Ending)) << name;
        EXPECT_TRUE(name.starts_with(std::to_string(count) + "-")) << name;

        const BmpImage bmp = ReadBmp(file);
        ASSERT_TRUE(bmp.Ok()) << bmp.Error;
        ASSERT_EQ(bmp.Width, 800);
        // Kestrel's own window may sit on the primary monitor; the other monitors' colours
        // appear nowhere, and the corner far from the window is the primary's.
        for (const Rgb& p : bmp.Pixels) {
            ASSERT_NE(p, (Rgb{255, 0, 0}));
            ASSERT_NE(p, (Rgb{0, 255, 0}));
        }
        EXPECT_EQ(bmp.At(799, 599), (Rgb{0, 0, 255}));
        EXPECT_EQ(bmp.At(700, 500), (Rgb{0, 0, 255}));
    }
}

// Xvfb's screen keeps its size; a real Xorg on the dummy driver switches modes as a monitor
// does, under the running program. Each capture shows the whole screen as it is then, with
// the pointer measured in that screen's pixels.
TEST(ChangingScreenE2E, EachCaptureShowsTheScreenAsItIsAfterAModeSwitch) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root may start a real Xorg";
    XvfbOptions options;
    options.DummyXorg = true;
    XvfbServer server(options);
    PrivateEnvironment env;
    XInput input(server.Display());
    env.WriteSettings({{"UseHotkey", "1"}});
    KestrelProcess kestrel(env, server.Display(), {});
    ASSERT_TRUE(WaitForWindow(input.Connection(), MAIN_TITLE)) << kestrel.Stderr();

    const Rgb quadrants[2][2] = {{{255, 0, 0}, {0, 0, 255}}, {{0, 255, 0}, {255, 255, 0}}};
    std::size_t count = 0;
    // Grown, shrunk below where it started, and back.
    const struct {
        const char* Mode;
        int Width, Height;
    } steps[] = {{"1920x1080", 1920, 1080}, {"800x600", 800, 600}, {"1024x768", 1024, 768}};
    for (const auto& [mode, width, height] : steps) {
        SCOPED_TRACE(mode);
        ASSERT_TRUE(Xrandr(server.Display(), std::string("--output DUMMY0 --mode ") + mode));
        // A connection made now is told the new size.
        ScreenPainter painter(server.Display());
        ASSERT_EQ(painter.Width(), width);
        for (int q = 0; q < 4; ++q)
            painter.Fill(q % 2 * width / 2, q / 2 * height / 2, width / 2, height / 2,
                         quadrants[q / 2][q % 2]);
        input.MovePointer(width * 3 / 4, height / 2);
        input.PressCtrlF();
        const fs::path dir = kestrel.FindCaptureDir();
        ASSERT_TRUE(WaitUntil([&] { return ListFiles(dir).size() > count; })) << kestrel.Stderr();
        const fs::path file = ListFiles(dir).back();
        ++count;
        EXPECT_TRUE(file.filename().string().ends_with("-600-300.bmp")) << file;
        const BmpImage bmp = ReadBmp(file);
        ASSERT_TRUE(bmp.Ok()) << bmp.Error;
        // Kestrel's window may cover the top-left corner; the other three are the screen's.
        EXPECT_EQ(bmp.At(799, 0), quadrants[0][1]);
        EXPECT_EQ(bmp.At(0, 599), quadrants[1][0]);
        EXPECT_EQ(bmp.At(799, 599), quadrants[1][1]);
    }
}

}  // namespace
