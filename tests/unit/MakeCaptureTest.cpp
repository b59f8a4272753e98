// The capture sequence and the capture directory on a desktop in memory: a screen of
// known pixels scaled by the real area scaler, a fixed clock and an in-memory file system.
// What is saved is read back as a BMP file; what fails is returned for the report.
#include "core/AppState.h"
#include "core/CaptureSequence.h"
#include "support/MemoryDesktop.h"
#include "testkit/BmpReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

using KestrelMain::LocalDateTime;
using Seam::ScreenRect;
using TestKit::ReadBmpBytes;
using TestKit::Rgb;
using TestSupport::AT_140359;
using TestSupport::MemoryDesktop;
using TestSupport::MemoryFileSystem;
using TestSupport::RecordingView;

constexpr const char* CAPTURE_DIR = "/home/u/Pictures/KESTREL_07122026_140000";

Rgb ToRgb(std::uint32_t rgb) {
    return Rgb{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
               static_cast<std::uint8_t>(rgb)};
}

class Capture : public ::testing::Test {
  protected:
    explicit Capture(int desktopWidth = 1024, int desktopHeight = 768)
        : desktop_(desktopWidth, desktopHeight) {
        files_.AddDirectories(CAPTURE_DIR);
        KestrelMain::ForgetRunNotes();
    }

    KestrelMain::Status Make(std::int16_t width = 800, std::int16_t height = 600) {
        return KestrelMain::MakeCapture(CAPTURE_DIR, width, height, count_);
    }
    std::vector<std::string> Saved() const { return files_.FileNames(CAPTURE_DIR); }

    MemoryDesktop desktop_;
    TestSupport::FakeScreen& screen_ = desktop_.Screen;
    TestSupport::FixedClock& clock_ = desktop_.Clock;
    MemoryFileSystem& files_ = desktop_.Files;
    RecordingView& view_ = desktop_.View;
    std::int32_t count_ = 0;
};

TEST_F(Capture, SavesABmpOfTheOutputSizeWithTheScaledScreen) {
    // Four quadrants of 512 x 384, each one colour: at half size every output pixel
    // averages four pixels of one quadrant, so it is exactly that colour.
    const std::uint32_t colours[2][2] = {{0xff0000, 0x00ff00}, {0x0000ff, 0x808080}};
    for (int y = 0; y < 768; ++y) {
        for (int x = 0; x < 1024; ++x) screen_.SetPixel(x, y, colours[y / 384][x / 512]);
    }
    screen_.SetPointer(512, 384);
    ASSERT_FALSE(Make(512, 384));

    ASSERT_EQ(Saved(), std::vector<std::string>{"1-140359-256-192.bmp"});
    const auto bmp =
        ReadBmpBytes(files_.FileBytes(std::string(CAPTURE_DIR) + "/1-140359-256-192.bmp"));
    ASSERT_TRUE(bmp.Ok()) << bmp.Error;
    EXPECT_EQ(bmp.Width, 512);
    EXPECT_EQ(bmp.Height, 384);
    EXPECT_EQ(bmp.BitsPerPixel, 24);
    int wrong = 0;
    for (int y = 0; y < 384; ++y) {
        for (int x = 0; x < 512; ++x) wrong += !(bmp.At(x, y) == ToRgb(colours[y / 192][x / 256]));
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(count_, 1);
    EXPECT_EQ(view_.TotalLbl, "Total captures saved: 1");
}

class CaptureOnTwoMonitors : public Capture {
  protected:
    CaptureOnTwoMonitors() : Capture(2048, 768) {}
};

TEST_F(CaptureOnTwoMonitors, OnlyThePrimaryMonitorIsGrabbed) {
    for (int y = 0; y < 768; ++y) {
        for (int x = 0; x < 2048; ++x) screen_.SetPixel(x, y, x < 1024 ? 0xffffff : 0x102030);
    }
    screen_.SetPrimary(ScreenRect{1024, 0, 1024, 768});
    screen_.SetPointer(100, 384);  // on the monitor to the left
    ASSERT_FALSE(Make(800, 600));

    ASSERT_EQ(screen_.Grabs(), 1);
    EXPECT_EQ(*screen_.LastGrabbed(), (ScreenRect{1024, 0, 1024, 768}));
    ASSERT_EQ(Saved(), std::vector<std::string>{"1-140359--721-300.bmp"});
    const auto bmp =
        ReadBmpBytes(files_.FileBytes(std::string(CAPTURE_DIR) + "/1-140359--721-300.bmp"));
    ASSERT_TRUE(bmp.Ok()) << bmp.Error;
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{799, 599}, std::pair{400, 300}})
        EXPECT_EQ(bmp.At(x, y), ToRgb(0x102030)) << x << "," << y;
}

TEST_F(CaptureOnTwoMonitors, TheNameRecordsCountTimeAndPointerInImagePixels) {
    const struct {
        ScreenRect Primary;
        int PointerX, PointerY;
        std::int16_t Width, Height;
        std::int32_t CountBefore;
        LocalDateTime Time;
        const char* Name;
    } cases[] = {
        {{0, 0, 1024, 768}, 512, 384, 800, 600, 6, AT_140359, "7-140359-400-300.bmp"},
        {{0, 0, 1024, 768}, 0, 0, 800, 600, 0, AT_140359, "1-140359-0-0.bmp"},
        {{0, 0, 1024, 768}, 1023, 767, 640, 480, 0, AT_140359, "1-140359-639-479.bmp"},
        // A monitor to the left of the primary one: a negative x after its hyphen.
        {{1024, 0, 1024, 768},
         100,
         384,
         800,
         600,
         2,
         {2026, 1, 2, 10, 15, 0},
         "3-101500--721-300.bmp"},
        // A monitor to the right: beyond the output width, written unchanged.
        {{0, 0, 1024, 768},
         1500,
         300,
         800,
         600,
         2,
         {2026, 1, 2, 23, 59, 59},
         "3-235959-1171-234.bmp"},
        // Above the primary monitor: a negative y.
        {{0, 100, 1024, 668}, 10, 0, 800, 600, 0, {2026, 1, 2, 0, 0, 1}, "1-000001-7--89.bmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        MemoryDesktop desktop(2048, 768);
        desktop.Files.AddDirectories(CAPTURE_DIR);
        desktop.Screen.SetPrimary(c.Primary);
        desktop.Screen.SetPointer(c.PointerX, c.PointerY);
        desktop.Clock.Set(c.Time);
        std::int32_t count = c.CountBefore;
        ASSERT_FALSE(KestrelMain::MakeCapture(CAPTURE_DIR, c.Width, c.Height, count));
        EXPECT_EQ(desktop.Files.FileNames(CAPTURE_DIR), std::vector<std::string>{c.Name});
        EXPECT_EQ(count, c.CountBefore + 1);
    }
}

TEST_F(CaptureOnTwoMonitors, AMonitorChangedAsItIsGrabbedIsGrabbedOnceMoreAsItIsNow) {
    const struct {
        std::vector<ScreenRect> Changes;
        const char* Saved;  // nothing: the failure is reported
    } cases[] = {
        // The primary monitor moved to the right as the grab began: the pointer in the
        // name is measured against it too.
        {{{1024, 0, 1024, 768}}, "1-140359-400-300.bmp"},
        // It grew (a mode switch): the whole of it is scaled.
        {{{0, 0, 2048, 768}}, "1-140359-600-300.bmp"},
        // Changed again at the second grab: once is enough, the failure is said.
        {{{1024, 0, 1024, 768}, {0, 0, 1024, 768}}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Saved ? c.Saved : "reported");
        MemoryDesktop desktop(2048, 768);
        desktop.Files.AddDirectories(CAPTURE_DIR);
        desktop.Screen.SetPrimary(ScreenRect{0, 0, 1024, 768});
        desktop.Screen.SetPointer(1536, 384);
        desktop.Screen.ChangeAtGrab(c.Changes);
        std::int32_t count = 0;
        const auto failed = KestrelMain::MakeCapture(CAPTURE_DIR, 800, 600, count);
        EXPECT_EQ(desktop.Screen.Grabs(), 2);
        EXPECT_EQ(count, 1);
        if (c.Saved) {
            EXPECT_FALSE(failed);
            EXPECT_EQ(desktop.Files.FileNames(CAPTURE_DIR), std::vector<std::string>{c.Saved});
            EXPECT_EQ(*desktop.Screen.LastGrabbed(), c.Changes.back());
        } else {
            ASSERT_TRUE(failed);
            EXPECT_EQ(failed->Text(), "Cannot read the screen: BadMatch");
        }
    }
}

TEST_F(Capture, TwoCapturesInOneSecondDifferInTheirNumber) {
    ASSERT_FALSE(Make());
    ASSERT_FALSE(Make());
    EXPECT_EQ(Saved(), (std::vector<std::string>{"1-140359-0-0.bmp", "2-140359-0-0.bmp"}));
    // One reading of the clock per capture, after the grab.
    EXPECT_EQ(clock_.Readings(), 2);
}

TEST_F(Capture, TheCountGoesOnPast32767) {
    count_ = 32767;
    ASSERT_FALSE(Make());
    EXPECT_EQ(count_, 32768);
    EXPECT_EQ(view_.TotalLbl, "Total captures saved: 32768");
    EXPECT_EQ(Saved(), std::vector<std::string>{"32768-140359-0-0.bmp"});
}

TEST_F(Capture, TheCountsLimitIsReportedAndNothingIsGrabbedOrSaved) {
    count_ = std::numeric_limits<std::int32_t>::max();
    const auto failed = Make();
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->What,
              "Cannot count another capture: this run has made 2147483647, the "
              "most it can");
    EXPECT_EQ(failed->Reason, "Overflow");
    EXPECT_EQ(count_, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(screen_.Grabs(), 0);
    EXPECT_EQ(files_.FileCount(), 0u);
    EXPECT_EQ(view_.TotalLbl, "");
}

TEST_F(Capture, AFailedSaveIsReportedAfterTheCountAndTheLabelAdvanced) {
    const struct {
        const char* Why;
        void (*Cause)(MemoryFileSystem&);
        void (*Cure)(MemoryFileSystem&);
        const char* Reason;
    } cases[] = {
        {"disk full", [](MemoryFileSystem& f) { f.FailSaves("No space left on device"); },
         [](MemoryFileSystem& f) { f.FailSaves(std::nullopt); }, "No space left on device"},
        {"directory removed", [](MemoryFileSystem& f) { f.RemoveDirectory(CAPTURE_DIR); },
         [](MemoryFileSystem& f) { f.AddDirectories(CAPTURE_DIR); }, "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Why);
        const std::int32_t before = count_;
        c.Cause(files_);
        const auto failed = Make();
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->What, "Cannot save the capture");
        EXPECT_EQ(failed->Path,
                  std::string(CAPTURE_DIR) + "/" + std::to_string(before + 1) + "-140359-0-0.bmp");
        EXPECT_EQ(failed->Reason, c.Reason);
        EXPECT_EQ(count_, before + 1);
        EXPECT_EQ(view_.TotalLbl, "Total captures saved: " + std::to_string(before + 1));

        // Once the cause is gone the next capture is saved, with the next number.
        c.Cure(files_);
        ASSERT_FALSE(Make());
        EXPECT_TRUE(files_.HasFile(std::string(CAPTURE_DIR) + "/" + std::to_string(before + 2) +
                                   "-140359-0-0.bmp"));
    }
}

TEST_F(Capture, AFailedGrabIsReportedAfterTheCountAndTheLabelAdvanced) {
    screen_.FailGrab(KestrelMain::Failure{"Cannot read the screen", {}, "BadMatch"});
    const auto failed = Make();
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->Text(), "Cannot read the screen: BadMatch");
    EXPECT_EQ(screen_.Grabs(), 1);  // the monitor is as it was: no second try
    EXPECT_EQ(count_, 1);
    EXPECT_EQ(view_.TotalLbl, "Total captures saved: 1");
    EXPECT_EQ(files_.FileCount(), 0u);
}

TEST_F(Capture, WithoutTheScreenOrThePointerNothingIsCounted) {
    const KestrelMain::Failure noX11{"Cannot find the primary screen", {}, "no X11 session"};
    screen_.FailScreen(noX11);
    auto failed = Make();
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->Text(), noX11.Text());

    screen_.FailScreen(std::nullopt);
    screen_.FailPointer(KestrelMain::Failure{"Cannot read the pointer position", {}, "gone"});
    failed = Make();
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->What, "Cannot read the pointer position");

    screen_.FailPointer(std::nullopt);
    screen_.SetPrimary(ScreenRect{0, 0, 40000, 768});  // wider than 16 bits can count
    failed = Make();
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->Text(), "Cannot capture a screen of 40000 x 768 pixels: Overflow");

    EXPECT_EQ(count_, 0);
    EXPECT_EQ(screen_.Grabs(), 0);
    EXPECT_EQ(view_.TotalLbl, "");
}

// A desktop that keeps the pointer to itself: the capture is made all the same, named with
// "NA" for each coordinate rather than any number, which would be a real position.
TEST_F(Capture, AnUnknownPointerNamesTheFileNAAndIsNotedOnceARun) {
    for (int y = 0; y < 768; ++y) {
        for (int x = 0; x < 1024; ++x) screen_.SetPixel(x, y, x < 512 ? 0x2040ff : 0xffffff);
    }
    screen_.HidePointer("the compositor tells no client where it is");
    ASSERT_FALSE(Make(400, 300));
    ASSERT_FALSE(Make(400, 300));

    EXPECT_EQ(Saved(), (std::vector<std::string>{"1-140359-NA-NA.bmp", "2-140359-NA-NA.bmp"}));
    const auto bmp =
        ReadBmpBytes(files_.FileBytes(std::string(CAPTURE_DIR) + "/1-140359-NA-NA.bmp"));
    ASSERT_TRUE(bmp.Ok()) << bmp.Error;
    EXPECT_EQ(bmp.At(0, 0), ToRgb(0x2040ff));
    EXPECT_EQ(bmp.At(399, 299), ToRgb(0xffffff));
    EXPECT_EQ(desktop_.Services.Errors.Notes,
              std::vector<std::string>{"The pointer's position is not known, so capture names "
                                       "carry NA: the compositor tells no client where it is"});
    EXPECT_TRUE(desktop_.Services.Errors.Reports.empty());
}

TEST_F(Capture, BeforeTheScreenIsReadyACaptureIsReportedAtOnceAndCountsNothing) {
    screen_.SetNotReady("the desktop has not yet granted the screen");
    const auto failed = Make();
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->Text(),
              "The screen is not ready yet: the desktop has not yet granted the "
              "screen");
    EXPECT_EQ(count_, 0);
    EXPECT_EQ(screen_.Grabs(), 0);
    EXPECT_EQ(view_.TotalLbl, "");

    screen_.SetNotReady(std::nullopt);
    ASSERT_FALSE(Make());
    EXPECT_EQ(Saved(), std::vector<std::string>{"1-140359-0-0.bmp"});
}

// The refusal itself was reported by the grab that met it: a timer must not repeat it
// every period, nor ask the desktop again; the button does.
TEST_F(Capture, AfterARefusalCapturesDoNothingUntilTheButtonAsksAgain) {
    screen_.Refuse();
    EXPECT_FALSE(Make());
    EXPECT_EQ(screen_.Grabs(), 0);
    EXPECT_EQ(count_, 0);
    EXPECT_TRUE(desktop_.Services.Errors.Reports.empty());

    KestrelMain::AppState.CaptureDir = CAPTURE_DIR;
    KestrelMain::AppState.CaptureCount = 0;
    KestrelMain::AppState.OutputWidth = 800;
    KestrelMain::AppState.OutputHeight = 600;
    KestrelMain::MakeCaptureFromButton();
    EXPECT_EQ(screen_.AskedAgain(), 1);
    EXPECT_EQ(Saved(), std::vector<std::string>{"1-140359-0-0.bmp"});

    // A desktop that puts up its chooser again: that click makes and says nothing more.
    screen_.Refuse(true);
    KestrelMain::MakeCaptureFromButton();
    EXPECT_EQ(screen_.AskedAgain(), 2);
    EXPECT_EQ(Saved().size(), 1u);
    EXPECT_TRUE(desktop_.Services.Errors.Reports.empty());
}

// While the desktop's chooser waits for the user, an error box at every tick would take the
// focus from it: the timer's captures say it once on standard error.
TEST_F(Capture, TheTimerWaitsQuietlyForASourceThatIsNotReady) {
    KestrelMain::AppState.CaptureDir = CAPTURE_DIR;
    KestrelMain::AppState.OutputWidth = 800;
    KestrelMain::AppState.OutputHeight = 600;
    screen_.SetNotReady("the desktop has not yet granted Kestrel the screen");
    KestrelMain::MakeTimedCapture();
    KestrelMain::MakeTimedCapture();
    EXPECT_TRUE(desktop_.Services.Errors.Reports.empty());
    EXPECT_EQ(desktop_.Services.Errors.Notes.size(), 1u);
    EXPECT_TRUE(Saved().empty());

    screen_.SetNotReady(std::nullopt);
    screen_.FailGrab(KestrelMain::Failure{"Cannot read the screen", {}, "gone"});
    KestrelMain::MakeTimedCapture();
    EXPECT_EQ(desktop_.Services.Errors.Reports.size(), 1u);
}

// A capture asked for on the bus may be what started Kestrel, before the desktop granted the
// screen: each request waits and is made once the source is ready, said once meanwhile; a
// refusal (reported by the source) drops them.
TEST_F(Capture, ARequestedCaptureWaitsForTheScreenAndIsMadeOnceItIsReady) {
    KestrelMain::AppState.CaptureDir = CAPTURE_DIR;
    KestrelMain::AppState.CaptureCount = 0;
    KestrelMain::AppState.OutputWidth = 800;
    KestrelMain::AppState.OutputHeight = 600;
    screen_.SetNotReady("the desktop has not yet granted Kestrel the screen");
    KestrelMain::MakeRequestedCapture();
    KestrelMain::MakeRequestedCapture();
    KestrelMain::MakeWaitingCaptures();
    EXPECT_TRUE(Saved().empty());
    EXPECT_TRUE(desktop_.Services.Errors.Reports.empty());
    EXPECT_EQ(desktop_.Services.Errors.Notes,
              std::vector<std::string>{"The screen is not ready yet: the desktop has not yet "
                                       "granted Kestrel the screen; the capture asked for "
                                       "follows once it is"});

    screen_.SetNotReady(std::nullopt);
    KestrelMain::MakeWaitingCaptures();
    KestrelMain::MakeWaitingCaptures();
    EXPECT_EQ(Saved().size(), 2u);

    screen_.SetNotReady("the desktop has not yet granted Kestrel the screen");
    KestrelMain::MakeRequestedCapture();
    screen_.Refuse();
    screen_.SetNotReady(std::nullopt);
    KestrelMain::MakeWaitingCaptures();
    EXPECT_EQ(Saved().size(), 2u);
    EXPECT_TRUE(desktop_.Services.Errors.Reports.empty());
}

class NewCaptureDir : public Capture {
  protected:
    KestrelMain::Status New(const std::string& basePath) {
        return KestrelMain::NewCaptureDir(basePath, captureDir_);
    }
    std::string captureDir_;
};

TEST_F(NewCaptureDir, NamesShowsAndCreatesTheDirectoryFromOneClockReading) {
    files_.AddDirectories("/data/shots");
    clock_.Set(LocalDateTime{2000, 2, 1, 9, 5, 7});
    ASSERT_FALSE(New("/data/shots/"));
    EXPECT_EQ(captureDir_, "/data/shots/KESTREL_01022000_090507");
    EXPECT_EQ(view_.DirLbl, captureDir_);
    EXPECT_TRUE(files_.FolderExists(captureDir_));
    EXPECT_EQ(clock_.Readings(), 1);

    // A base without its trailing separator is joined unchanged.
    ASSERT_FALSE(New("/data/shots"));
    EXPECT_EQ(captureDir_, "/data/shotsKESTREL_01022000_090507");
}

TEST_F(NewCaptureDir, AFailedCreationIsReportedAndTheNameStillShown) {
    const struct {
        const char* Base;
        const char* Reason;
    } cases[] = {
        {"/no/such/base/", "No such file or directory"},
        {"/home/u/Pictures/", "File exists"},  // two starts within one second
    };
    clock_.Set(LocalDateTime{2026, 12, 7, 14, 0, 0});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Base);
        const auto failed = New(c.Base);
        ASSERT_TRUE(failed);
        EXPECT_EQ(failed->What, "Cannot create the capture directory");
        EXPECT_EQ(failed->Path, std::string(c.Base) + "KESTREL_07122026_140000");
        EXPECT_EQ(failed->Reason, c.Reason);
        EXPECT_EQ(captureDir_, failed->Path);
        EXPECT_EQ(view_.DirLbl, failed->Path);
    }
}

TEST_F(NewCaptureDir, NumberingGoesOnInTheNewDirectory) {
    ASSERT_FALSE(Make());
    ASSERT_FALSE(Make());
    files_.AddDirectories("/other");
    clock_.Set(LocalDateTime{2026, 12, 7, 15, 0, 0});
    ASSERT_FALSE(New("/other/"));
    ASSERT_FALSE(KestrelMain::MakeCapture(captureDir_, 800, 600, count_));
    EXPECT_EQ(files_.FileNames("/other/KESTREL_07122026_150000"),
              std::vector<std::string>{"3-150000-0-0.bmp"});
}

}  // namespace
