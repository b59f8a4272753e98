// MakeCapture in this process, as every trigger runs it, on the test's private Xvfb:
// counting, naming, saving, and surviving every failure it can meet.
#include "core/AppState.h"
#include "core/CaptureDirectory.h"
#include "core/CaptureSequence.h"
#include "core/seam/Services.h"
#include "support/GuiEnvironment.h"
#include "support/InProcessKestrel.h"
#include "support/KestrelProcess.h"
#include "support/Wait.h"
#include "support/XInput.h"
#include "testkit/BmpReader.h"
#include "ui/qt/MainForm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QMessageBox>
#include <QRegularExpression>

#include <sys/resource.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace TestSupport;
using namespace TestKit;
using namespace std::chrono_literals;
using KestrelMain::AppState;

fs::path CaptureDir() {
    return AppState.CaptureDir;
}

// The failure on screen, if any: the text of the visible message box captioned "Kestrel".
QString ShownFailure() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(window);
        if (box != nullptr && box->isVisible() && box->windowTitle() == "Kestrel") {
            return box->text();
        }
    }
    return {};
}

void DismissFailure() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(window))
            box->close();
    }
    QApplication::processEvents();
}

// A capture as every trigger makes it, then its file: the program writes and names it on
// the file system's own thread, and reports a failure there from the event loop.
void Capture() {
    KestrelMain::MakeCapture();
    Seam::Installed().Files->WaitForSaves();
    QApplication::processEvents();
}

std::string Name(const fs::path& file) {
    return file.filename().string();
}

class CaptureSequence : public testing::Test {
  protected:
    void Start(std::map<std::string, std::string> settings = {}) {
        settings.emplace("BasePath", TestEnvironment().Pictures().string() + "/");
        StartKestrelInProcess(settings);
        ASSERT_TRUE(fs::is_directory(CaptureDir()));
    }
    void PointAt(int x, int y) {
        input_.MovePointer(x, y);
        input_.Sync();
    }
    XInput input_{TestDisplay()};
};

TEST_F(CaptureSequence, TheFirstCaptureIsNumberOneNamedAfterTimeAndPointer) {
    Start();
    PointAt(512, 384);
    const QDateTime before = QDateTime::currentDateTime();
    Capture();
    const QDateTime after = QDateTime::currentDateTime();

    EXPECT_EQ(AppState.CaptureCount, 1);
    EXPECT_EQ(Ui::MainForm::Instance().TotalLbl->text(), "Total captures saved: 1");
    const auto files = ListFiles(CaptureDir());
    ASSERT_EQ(files.size(), 1u);
    const QRegularExpressionMatch match = QRegularExpression("^1-(\\d{6})-400-300\\.bmp$")
                                              .match(QString::fromStdString(Name(files[0])));
    ASSERT_TRUE(match.hasMatch()) << Name(files[0]);
    const QTime time = QTime::fromString(match.captured(1), "HHmmss");
    EXPECT_GE(time, before.time().addMSecs(-before.time().msec()));
    EXPECT_LE(time, after.time());

    const BmpImage bmp = ReadBmp(files[0]);
    ASSERT_TRUE(bmp.Ok()) << bmp.Error;
    EXPECT_EQ(bmp.Width, 800);
    EXPECT_EQ(bmp.Height, 600);
    EXPECT_EQ(bmp.BitsPerPixel, 24);
    EXPECT_TRUE(ShownFailure().isEmpty()) << ShownFailure().toStdString();
}

TEST_F(CaptureSequence, ThePointerIsScaledToTheImage) {
    const struct {
        int Width, Height, X, Y;
        const char* Ending;
    } cases[] = {
        {640, 480, 1023, 767, "-639-479.bmp"},
        {800, 600, 0, 0, "-0-0.bmp"},
        {1600, 1200, 1023, 0, "-1598-0.bmp"},
        {801, 601, 512, 384, "-400-300.bmp"},
    };
    Start();
    for (const auto& c : cases) {
        AppState.OutputWidth = static_cast<std::int16_t>(c.Width);
        AppState.OutputHeight = static_cast<std::int16_t>(c.Height);
        PointAt(c.X, c.Y);
        const auto before = ListFiles(CaptureDir());
        Capture();
        const auto files = ListFiles(CaptureDir());
        ASSERT_EQ(files.size(), before.size() + 1);
        std::string added;
        for (const auto& f : files) {
            if (std::find(before.begin(), before.end(), f) == before.end())
                added = Name(f);
        }
        EXPECT_TRUE(added.ends_with(c.Ending)) << added << " for " << c.X << "," << c.Y;
        EXPECT_TRUE(added.starts_with(std::to_string(AppState.CaptureCount) + "-")) << added;
        const BmpImage bmp = ReadBmp(CaptureDir() / added);
        EXPECT_EQ(bmp.Width, c.Width);
        EXPECT_EQ(bmp.Height, c.Height);
    }
}

TEST_F(CaptureSequence, TwoCapturesInOneSecondDifferInTheirNumber) {
    Start();
    PointAt(10, 10);
    Capture();
    Capture();
    const auto files = ListFiles(CaptureDir());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_TRUE(Name(files[0]).starts_with("1-"));
    EXPECT_TRUE(Name(files[1]).starts_with("2-"));
    EXPECT_EQ(Ui::MainForm::Instance().TotalLbl->text(), "Total captures saved: 2");
}

TEST_F(CaptureSequence, NumberingContinuesInANewCaptureDirectory) {
    Start();
    Capture();
    const fs::path first = CaptureDir();
    const fs::path otherBase = TestEnvironment().Root() / "elsewhere";
    fs::create_directory(otherBase);
    AppState.BasePath = otherBase.string() + "/";
    KestrelMain::NewCaptureDir();
    ASSERT_NE(CaptureDir(), first);
    Capture();
    ASSERT_EQ(ListFiles(first).size(), 1u);
    const auto files = ListFiles(CaptureDir());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(Name(files[0]).starts_with("2-")) << Name(files[0]);
}

TEST_F(CaptureSequence, EachTimerTickSavesAFile) {
    Start({{"UseTimer", "1"}, {"TimerPeriod", "0.2"}});
    EXPECT_TRUE(WaitUntil([] { return ListFiles(CaptureDir()).size() >= 3; }, 15s));
    const auto files = ListFiles(CaptureDir());
    for (const auto& f : files) EXPECT_TRUE(ReadBmp(f).Ok()) << Name(f);
    EXPECT_GE(AppState.CaptureCount, 3);
}

TEST_F(CaptureSequence, ARemovedDirectoryIsReportedAndTheNextCaptureAfterItsReturnSaves) {
    Start();
    fs::remove(CaptureDir());
    Capture();
    EXPECT_EQ(AppState.CaptureCount, 1);
    EXPECT_EQ(Ui::MainForm::Instance().TotalLbl->text(), "Total captures saved: 1");
    const QString shown = ShownFailure();
    EXPECT_TRUE(shown.contains("Cannot save the capture")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QString::fromStdString(AppState.CaptureDir))) << shown.toStdString();
    EXPECT_TRUE(shown.contains("No such file or directory")) << shown.toStdString();
    EXPECT_FALSE(fs::exists(CaptureDir()));
    DismissFailure();

    fs::create_directory(CaptureDir());
    Capture();
    const auto files = ListFiles(CaptureDir());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(Name(files[0]).starts_with("2-")) << Name(files[0]);
    EXPECT_TRUE(ShownFailure().isEmpty());
}

TEST_F(CaptureSequence, AFullDiskLeavesNoPartialFileAndTheNextCaptureSaves) {
    Start();
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    rlimit small = original;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Capture();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &original), 0);

    EXPECT_EQ(AppState.CaptureCount, 1);
    EXPECT_TRUE(ShownFailure().contains("File too large")) << ShownFailure().toStdString();
    EXPECT_TRUE(fs::is_empty(CaptureDir()));
    DismissFailure();

    Capture();
    const auto files = ListFiles(CaptureDir());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(Name(files[0]).starts_with("2-"));
    EXPECT_TRUE(ReadBmp(files[0]).Ok());
}

long VirtualMemoryBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmSize:", 0) == 0)
            return std::stol(line.substr(7)) * 1024;
    }
    return 0;
}

TEST_F(CaptureSequence, AnOutputSizeThatCannotBeMadeIsReportedAndNothingCrashes) {
    Start();
    const struct {
        int Width, Height;
        const char* Shown;
    } cases[] = {{0, 600, "0 x 600"},
                 {800, 0, "800 x 0"},
                 {-5, 600, "-5 x 600"},
                 {800, -32768, "800 x -32768"}};
    for (const auto& c : cases) {
        AppState.OutputWidth = static_cast<std::int16_t>(c.Width);
        AppState.OutputHeight = static_cast<std::int16_t>(c.Height);
        Capture();
        const QString shown = ShownFailure();
        EXPECT_TRUE(shown.contains(c.Shown)) << shown.toStdString();
        DismissFailure();
    }

    // Larger than the memory this process may still take.
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &original), 0);
    rlimit tight = original;
    tight.rlim_cur = static_cast<rlim_t>(VirtualMemoryBytes()) + (256L << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    AppState.OutputWidth = 32767;
    AppState.OutputHeight = 32767;
    Capture();
    ASSERT_EQ(setrlimit(RLIMIT_AS, &original), 0);
    EXPECT_TRUE(ShownFailure().contains("not enough memory")) << ShownFailure().toStdString();
    DismissFailure();

    EXPECT_TRUE(fs::is_empty(CaptureDir()));
    AppState.OutputWidth = 800;
    AppState.OutputHeight = 600;
    Capture();
    const auto files = ListFiles(CaptureDir());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(ReadBmp(files[0]).Ok());
    EXPECT_EQ(AppState.CaptureCount, 6);  // every capture that was attempted counts
}

TEST_F(CaptureSequence, CountingGoesOnPast32767) {
    Start();
    AppState.CaptureCount = 32766;
    for (int expected : {32767, 32768, 32769, 32770}) {
        Capture();
        EXPECT_EQ(AppState.CaptureCount, expected);
        EXPECT_EQ(Ui::MainForm::Instance().TotalLbl->text(),
                  QStringLiteral("Total captures saved: %1").arg(expected));
    }
    const auto files = ListFiles(CaptureDir());
    ASSERT_EQ(files.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(Name(files[i]).starts_with(std::to_string(32767 + i) + "-")) << Name(files[i]);
        EXPECT_TRUE(ReadBmp(files[i]).Ok()) << Name(files[i]);
    }
    EXPECT_TRUE(ShownFailure().isEmpty()) << ShownFailure().toStdString();
}

TEST_F(CaptureSequence, AtTheCountsLimitNothingIsGrabbedOrSavedAndTheCountStays) {
    constexpr std::int32_t LIMIT = std::numeric_limits<std::int32_t>::max();
    Start();
    AppState.CaptureCount = LIMIT - 1;
    Capture();
    EXPECT_EQ(AppState.CaptureCount, LIMIT);
    ASSERT_EQ(ListFiles(CaptureDir()).size(), 1u);
    EXPECT_TRUE(Name(ListFiles(CaptureDir())[0]).starts_with("2147483647-"));

    Capture();
    EXPECT_EQ(AppState.CaptureCount, LIMIT);
    EXPECT_EQ(Ui::MainForm::Instance().TotalLbl->text(), "Total captures saved: 2147483647");
    EXPECT_EQ(ListFiles(CaptureDir()).size(), 1u);
    const QString shown = ShownFailure();
    EXPECT_TRUE(shown.contains("Overflow")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("2147483647")) << shown.toStdString();
}

}  // namespace
