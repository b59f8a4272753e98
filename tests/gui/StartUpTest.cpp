// Start-up as Main runs it, up to the idle loop, in this process on a private Xvfb.
#include "core/AppState.h"
#include "core/KestrelMain.h"
#include "platform/qt/QtSettingsStore.h"
#include "support/GuiEnvironment.h"
#include "ui/qt/MainForm.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using KestrelMain::AppState;
using TestSupport::TestEnvironment;

TEST(StartUp, CreatesTheCaptureDirectoryAndShowsItsPath) {
    const QDateTime before = QDateTime::currentDateTime();
    KestrelMain::StartUp(Platform::QtToolkit::DefaultBasePath());
    const QDateTime after = QDateTime::currentDateTime();

    Ui::MainForm& form = Ui::MainForm::Instance();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.DirLbl->text().toStdString(), AppState.CaptureDir);
    EXPECT_TRUE(fs::is_directory(AppState.CaptureDir));

    const QString prefix =
        QString::fromStdString(TestEnvironment().Pictures().string()) + QStringLiteral("/KESTREL_");
    ASSERT_TRUE(QString::fromStdString(AppState.CaptureDir).startsWith(prefix))
        << AppState.CaptureDir;
    const QDateTime named =
        QDateTime::fromString(QString::fromStdString(AppState.CaptureDir).mid(prefix.size()),
                              QStringLiteral("ddMMyyyy_HHmmss"));
    ASSERT_TRUE(named.isValid()) << AppState.CaptureDir;
    EXPECT_GE(named, before.addMSecs(-before.time().msec()));
    EXPECT_LE(named, after);

    EXPECT_EQ(AppState.CaptureCount, 0);
    EXPECT_EQ(AppState.QuitRequested, 0);
    EXPECT_EQ(form.TotalLbl->text(), "Total captures saved: 0");
}

TEST(StartUp, ABaseDirectoryWithoutItsSlashIsJoinedUnchanged) {
    const fs::path base = TestEnvironment().Root() / "shots";
    fs::create_directory(base);
    TestEnvironment().WriteSettings({{"BasePath", base.string()}});
    KestrelMain::StartUp(Platform::QtToolkit::DefaultBasePath());
    EXPECT_TRUE(
        QString::fromStdString(AppState.CaptureDir)
            .startsWith(QString::fromStdString(base.string()) + QStringLiteral("KESTREL_")));
    EXPECT_TRUE(fs::is_directory(AppState.CaptureDir));
}

TEST(StartUp, AMissingBaseDirectoryIsReportedAndStartUpGoesOn) {
    const fs::path base = TestEnvironment().Root() / "gone/";
    TestEnvironment().WriteSettings({{"BasePath", base.string()}});
    testing::internal::CaptureStderr();
    KestrelMain::StartUp(Platform::QtToolkit::DefaultBasePath());
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("Cannot create the capture directory"), std::string::npos) << errors;
    EXPECT_NE(errors.find("No such file or directory"), std::string::npos) << errors;
    EXPECT_NE(errors.find(AppState.CaptureDir), std::string::npos) << errors;
    EXPECT_TRUE(Ui::MainForm::Instance().isVisible());
    EXPECT_EQ(Ui::MainForm::Instance().DirLbl->text().toStdString(), AppState.CaptureDir);
}

struct HotkeyCase {
    const char* Stored;
    const char* Caption;
    int Active;
};

class StartUpHotkey : public testing::TestWithParam<HotkeyCase> {};

TEST_P(StartUpHotkey, LabelFollowsTheStoredSetting) {
    TestEnvironment().WriteSettings({{"UseHotkey", GetParam().Stored}});
    KestrelMain::StartUp(Platform::QtToolkit::DefaultBasePath());
    EXPECT_EQ(AppState.HotkeyActive, GetParam().Active);
    EXPECT_EQ(AppState.UseHotkey, GetParam().Active);
    EXPECT_EQ(Ui::MainForm::Instance().HotkeyLbl->text(), GetParam().Caption);
}

// Stored texts as parts of test names, which allow only letters, digits and '_':
// "-1" reads Minus1 and "0.0625" reads 0_0625.
std::string NumberName(const std::string& stored) {
    std::string name;
    for (const char ch : stored) {
        if (ch == '-')
            name += "Minus";
        else if (ch == '.')
            name += '_';
        else
            name += ch;
    }
    return name;
}

// A stored switch: "1" is on, "0" off; any other value keeps its number in the name.
std::string SwitchName(const std::string& stored) {
    return stored == "1" ? "On" : stored == "0" ? "Off" : NumberName(stored);
}

INSTANTIATE_TEST_SUITE_P(Settings, StartUpHotkey,
                         testing::Values(HotkeyCase{"1", "Ctrl-F is the Hot Key", 1},
                                         HotkeyCase{"0", "Hot Key is Disabled", 0},
                                         HotkeyCase{"2", "Hot Key is Disabled", 2}),
                         [](const testing::TestParamInfo<HotkeyCase>& param) {
                             return "StoredHotkey" + SwitchName(param.param.Stored);
                         });

struct TimerCase {
    const char* UseTimer;
    const char* Period;
    int Interval;
    bool Running;
};

class StartUpTimer : public testing::TestWithParam<TimerCase> {};

TEST_P(StartUpTimer, IntervalAndStateFollowTheSettings) {
    TestEnvironment().WriteSettings(
        {{"UseTimer", GetParam().UseTimer}, {"TimerPeriod", GetParam().Period}});
    KestrelMain::StartUp(Platform::QtToolkit::DefaultBasePath());
    EXPECT_EQ(Ui::MainForm::Instance().Timer1->Interval(), GetParam().Interval);
    EXPECT_EQ(Ui::MainForm::Instance().Timer1->Running(), GetParam().Running);
}

INSTANTIATE_TEST_SUITE_P(Settings, StartUpTimer,
                         testing::Values(TimerCase{"1", "2", 2000, true},
                                         TimerCase{"1", "0.0625", 62, true},
                                         TimerCase{"0", "2", 2000, false},
                                         TimerCase{"2", "2", 2000, false},
                                         // A period of nothing never fires.
                                         TimerCase{"1", "0", 0, false},
                                         // No timer holds a negative interval: reported,
                                         // and the timer stays off.
                                         TimerCase{"1", "-1", 5000, false}),
                         [](const testing::TestParamInfo<TimerCase>& param) {
                             return "Timer" + SwitchName(param.param.UseTimer) + "Every" +
                                    NumberName(param.param.Period) + "s";
                         });

}  // namespace
