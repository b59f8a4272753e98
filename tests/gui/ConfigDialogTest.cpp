// The configuration dialog driven as a user drives it: typing into its text boxes,
// clicking its buttons, closing its message boxes; checked on AppState, the main window and
// the real settings file.
#include "core/AppState.h"
#include "core/seam/Services.h"
#include "support/GuiEnvironment.h"
#include "support/InProcessKestrel.h"
#include "support/KestrelProcess.h"
#include "support/UiDriving.h"
#include "support/Wait.h"
#include "support/XInput.h"
#include "support/XWindows.h"
#include "ui/qt/ConfigDlg.h"
#include "ui/qt/MainForm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTest>

#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <string_view>

namespace {

namespace fs = std::filesystem;
using namespace TestSupport;
using namespace std::chrono_literals;
using KestrelMain::AppState;
using Ui::ConfigDlg;
using Ui::MainForm;

class ConfigDialog : public testing::Test {
  protected:
    // Starts Kestrel and opens the dialog with a click on Configure.
    ConfigDlg& Open(const std::map<std::string, std::string>& settings = {}) {
        StartKestrelInProcess(settings);
        QTest::mouseClick(MainForm::Instance().ConfigBtn, Qt::LeftButton);
        ConfigDlg* dialog = ConfigDlg::Existing();
        if (dialog == nullptr)
            throw std::runtime_error("no dialog");
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        return *dialog;
    }

    // Clicks OK and returns the message boxes that came up (each closed with its OK).
    std::vector<SeenMessage> ClickOk(ConfigDlg& dialog) {
        MessageBoxCloser closer;
        QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
        return closer.Seen();
    }

    FileState Settings() const { return ReadFileState(TestEnvironment().SettingsFile()); }
    std::string Stored(const std::string& key) const {
        const auto values = TestEnvironment().ReadSettings();
        const auto found = values.find(key);
        return found == values.end() ? std::string("<absent>") : found->second;
    }
};

TEST_F(ConfigDialog, ControlsSitWhereTheirTwipsPutThem) {
    ConfigDlg& dialog = Open();
    for (const KestrelMain::ControlLayout& c : KestrelMain::CONFIG_DLG.Controls) {
        auto* control = dialog.findChild<QWidget*>(QString::fromLatin1(c.Name));
        ASSERT_NE(control, nullptr) << c.Name;
        if (c.Kind != KestrelMain::ControlKind::Line) {
            EXPECT_EQ(control->geometry(), InPixels(c.Twips)) << c.Name;
        }
    }
    // Line1 runs from (240, 1080) to (6000, 1080) twips: one pixel high at y 72.
    auto* line = dialog.findChild<QFrame*>(QStringLiteral("Line1"));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->geometry(), QRect(16, 72, 384, 1));
    EXPECT_EQ(line->frameShape(), QFrame::HLine);

    EXPECT_EQ(dialog.size(), QSize(417, 193));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    XInput x(TestDisplay());
    const auto window = WaitForWindow(x.Connection(), "Screen Capture Configuration");
    ASSERT_TRUE(window);
    EXPECT_EQ(window->Width, 417);
    EXPECT_EQ(window->Height, 193);
}

TEST_F(ConfigDialog, CaptionsAreExactAndTheBoxesHoldTheCurrentSettings) {
    const fs::path base = TestEnvironment().Root() / "base/";
    fs::create_directories(base);
    ConfigDlg& dialog = Open({{"UseTimer", "1"},
                              {"TimerPeriod", "0.5"},
                              {"OutputWidth", "1024"},
                              {"OutputHeight", "768"},
                              {"BasePath", base.string()},
                              {"UseHotkey", "1"}});
    EXPECT_EQ(dialog.windowTitle(), "Screen Capture Configuration");
    EXPECT_EQ(dialog.HotkeyChk->text(),
              "Use Ctrl-F as \"Capture Now\" Hotkey (Change will take effect on next launch)");
    EXPECT_EQ(dialog.UseTimerChk->text(), "Make Captures Automatically using Timer");
    EXPECT_EQ(dialog.OKBtn->text(), "OK");
    EXPECT_EQ(dialog.CancelBtn->text(), "Cancel");
    EXPECT_EQ(dialog.Label5->text(), "Store Captures Here:");
    EXPECT_EQ(dialog.Label4->text(), "Height:");
    EXPECT_EQ(dialog.Label3->text(), "Width:");
    EXPECT_EQ(dialog.Label2->text(), "Save Captures Scaled to:");
    EXPECT_EQ(dialog.Label1->text(), "Period of Captures (in seconds):");

    EXPECT_TRUE(dialog.UseTimerChk->isChecked());
    EXPECT_EQ(dialog.PeriodText->text(), "0.5");
    EXPECT_EQ(dialog.WidthText->text(), "1024");
    EXPECT_EQ(dialog.HeightText->text(), "768");
    EXPECT_EQ(dialog.BasePathText->text(), QString::fromStdString(base.string()));
    EXPECT_TRUE(dialog.HotkeyChk->isChecked());
    EXPECT_TRUE(dialog.PeriodText->isEnabled());
    EXPECT_TRUE(dialog.Label1->isEnabled());
    EXPECT_FALSE(dialog.HotkeyChk->isTristate());
    EXPECT_EQ(dialog.parentWidget(), nullptr);
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}

TEST_F(ConfigDialog, FocusStartsOnOkAndTabFollowsTheForm) {
    ConfigDlg& dialog = Open({{"UseTimer", "1"}});
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(QApplication::focusWidget(), dialog.OKBtn);
    const std::vector<QWidget*> expected = {
        dialog.CancelBtn,  dialog.UseTimerChk,  dialog.PeriodText, dialog.WidthText,
        dialog.HeightText, dialog.BasePathText, dialog.HotkeyChk,  dialog.OKBtn};
    std::vector<QWidget*> visited;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(visited, expected);
}

TEST_F(ConfigDialog, EnterAndEscapeNeitherApplyNorCancel) {
    ConfigDlg& dialog = Open();
    const FileState before = Settings();
    Retype(dialog.WidthText, QStringLiteral("640"));
    QTest::keyClick(dialog.WidthText, Qt::Key_Return);
    QTest::keyClick(dialog.WidthText, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.WidthText->text(), "640");
    EXPECT_EQ(AppState.OutputWidth, 800);
    EXPECT_EQ(Settings(), before);
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault() || button->autoDefault());
    }
}

struct RejectCase {
    const char* Width;
    const char* Height;
    const char* Period;
    const char* BasePath;  // "<base>" stands for the current, existing base directory
    const char* Message;
};

TEST_F(ConfigDialog, BadEntriesShowTheFirstFailingMessageAndChangeNothing) {
    ConfigDlg& dialog = Open();
    const FileState before = Settings();
    const QString base = QString::fromStdString(AppState.BasePath);
    const std::string captureDir = AppState.CaptureDir;
    const RejectCase cases[] = {
        {"abc", "600", "0", "<base>", "Invalid Width.  Please specify an integer."},
        {"abc", "x", "y", "/nowhere", "Invalid Width.  Please specify an integer."},
        {"800", "", "y", "/nowhere", "Invalid Height.  Please specify an integer."},
        {"800", "600", "abc", "/nowhere", "Invalid Period.  Please specify a number."},
        {"800", "600", "0", "/nowhere", "Period must be a positive, non-zero number."},
        {"800", "600", "-1", "<base>", "Period must be a positive, non-zero number."},
        {"800", "600", "2", "/nowhere",
         "Invalid Capture Directory.  Please double check and try again."},
        {"40000", "600", "2", "<base>",
         "Invalid Width.  Please specify an integer between -32768 and 32767."},
        {"800", "-32769", "2", "<base>",
         "Invalid Height.  Please specify an integer between -32768 and 32767."},
        {"800", "600", "1e-50", "<base>",
         "Invalid Period.  Please specify a number of seconds between 0.001 and 2147483."},
        {"800", "600", "1e39", "<base>",
         "Invalid Period.  Please specify a number of seconds between 0.001 and 2147483."},
        {"800", "600", "3000000", "<base>",
         "Invalid Period.  Please specify a number of seconds between 0.001 and 2147483."},
    };
    for (const RejectCase& c : cases) {
        const QString path =
            std::string_view(c.BasePath) == "<base>" ? base : QString::fromLatin1(c.BasePath);
        // The period box takes typing only while the timer box is ticked.
        QTest::mouseClick(dialog.UseTimerChk, Qt::LeftButton);
        Retype(dialog.WidthText, QString::fromLatin1(c.Width));
        Retype(dialog.HeightText, QString::fromLatin1(c.Height));
        Retype(dialog.PeriodText, QString::fromLatin1(c.Period));
        Retype(dialog.BasePathText, path);
        QTest::mouseClick(dialog.UseTimerChk, Qt::LeftButton);

        const auto seen = ClickOk(dialog);
        ASSERT_EQ(seen.size(), 1u) << c.Message;
        EXPECT_EQ(seen[0].Text, QString::fromLatin1(c.Message));
        EXPECT_EQ(seen[0].Title, "Kestrel");
        EXPECT_EQ(seen[0].ButtonCount, 1);
        EXPECT_TRUE(seen[0].HasOkButton);
        EXPECT_EQ(seen[0].Icon, QMessageBox::NoIcon);

        EXPECT_TRUE(dialog.isVisible()) << c.Message;
        EXPECT_EQ(dialog.WidthText->text(), QString::fromLatin1(c.Width));
        EXPECT_EQ(dialog.HeightText->text(), QString::fromLatin1(c.Height));
        EXPECT_EQ(dialog.PeriodText->text(), QString::fromLatin1(c.Period));
        EXPECT_EQ(dialog.BasePathText->text(), path);
        EXPECT_EQ(Settings(), before) << c.Message;
        EXPECT_EQ(AppState.OutputWidth, 800);
        EXPECT_EQ(AppState.OutputHeight, 600);
        EXPECT_EQ(AppState.TimerPeriod, 2.0f);
        EXPECT_EQ(AppState.CaptureDir, captureDir);
    }
}

TEST_F(ConfigDialog, AMissingDirectoryIsRejectedEvenWhenUnchanged) {
    const fs::path base = TestEnvironment().Root() / "shots";
    fs::create_directories(base);
    ConfigDlg& dialog = Open({{"BasePath", base.string() + "/"}});
    fs::remove_all(base);
    const FileState before = Settings();
    const auto seen = ClickOk(dialog);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Text, "Invalid Capture Directory.  Please double check and try again.");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(Settings(), before);
}

struct WidthCase {
    const char* Typed;
    const char* Stored;
    int Width;
};

TEST_F(ConfigDialog, WidthsRoundToTheEvenNeighbourAndAreStoredAsIntegers) {
    ConfigDlg& dialog = Open();
    const WidthCase cases[] = {
        {"640.5", "640", 640}, {"641.5", "642", 642}, {"0", "0", 0}, {"-5", "-5", -5}};
    for (const WidthCase& c : cases) {
        QTest::mouseClick(MainForm::Instance().ConfigBtn, Qt::LeftButton);
        Retype(dialog.WidthText, QString::fromLatin1(c.Typed));
        EXPECT_TRUE(ClickOk(dialog).empty()) << c.Typed;
        EXPECT_FALSE(dialog.isVisible()) << c.Typed;
        EXPECT_EQ(AppState.OutputWidth, c.Width) << c.Typed;
        EXPECT_EQ(Stored("OutputWidth"), c.Stored) << c.Typed;
        // Hidden, not reset: the next Configure shows the text as it was typed.
        QTest::mouseClick(MainForm::Instance().ConfigBtn, Qt::LeftButton);
        EXPECT_EQ(dialog.WidthText->text(), QString::fromLatin1(c.Typed));
    }
}

TEST_F(ConfigDialog, AFractionOverTheSameWidthIsStoredAgain) {
    ConfigDlg& dialog = Open();
    const FileState before = Settings();
    Retype(dialog.WidthText, QStringLiteral("800.4"));
    EXPECT_TRUE(ClickOk(dialog).empty());
    EXPECT_EQ(AppState.OutputWidth, 800);
    EXPECT_EQ(Stored("OutputWidth"), "800");
    EXPECT_NE(Settings(), before) << "the width was written again";
}

TEST_F(ConfigDialog, TheSamePeriodWrittenDifferentlyStoresNothing) {
    ConfigDlg& dialog = Open({{"UseTimer", "1"}, {"TimerPeriod", "2"}});
    MainForm& form = MainForm::Instance();
    const int interval = form.Timer1->Interval();
    const FileState before = Settings();
    Retype(dialog.PeriodText, QStringLiteral("2.0"));
    EXPECT_TRUE(ClickOk(dialog).empty());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(Settings(), before);
    EXPECT_EQ(form.Timer1->Interval(), interval);
    EXPECT_TRUE(form.Timer1->Running());
}

TEST_F(ConfigDialog, ANewPeriodReprogramsTheRunningTimerAtOnce) {
    ConfigDlg& dialog = Open({{"UseTimer", "1"}, {"TimerPeriod", "1000"}});
    MainForm& form = MainForm::Instance();
    ASSERT_TRUE(form.Timer1->Running());
    Retype(dialog.PeriodText, QStringLiteral("0.0625"));
    EXPECT_TRUE(ClickOk(dialog).empty());
    EXPECT_EQ(Stored("TimerPeriod"), "0.0625");
    EXPECT_EQ(AppState.TimerPeriod, 0.0625f);
    EXPECT_EQ(form.Timer1->Interval(), 62);
    EXPECT_TRUE(form.Timer1->Running());
    EXPECT_TRUE(WaitUntil([] { return AppState.CaptureCount >= 2; }, 10s));
}

TEST_F(ConfigDialog, AnExistingDirectoryGetsItsSlashAndANewCaptureDirectory) {
    const fs::path other = TestEnvironment().Root() / "other shots";
    fs::create_directories(other);
    ConfigDlg& dialog = Open({{"OutputWidth", "32"}, {"OutputHeight", "24"}});
    MainForm& form = MainForm::Instance();
    QTest::mouseClick(form.CaptureBtn, Qt::LeftButton);
    ASSERT_EQ(AppState.CaptureCount, 1);
    const std::string firstDir = AppState.CaptureDir;

    Retype(dialog.BasePathText, QString::fromStdString(other.string()));
    EXPECT_TRUE(ClickOk(dialog).empty());
    const QString withSlash = QString::fromStdString(other.string()) + u'/';
    EXPECT_EQ(dialog.BasePathText->text(), withSlash);
    EXPECT_EQ(AppState.BasePath, withSlash.toStdString());
    EXPECT_EQ(Stored("BasePath"), withSlash.toStdString());
    EXPECT_NE(AppState.CaptureDir, firstDir);
    EXPECT_TRUE(AppState.CaptureDir.starts_with(withSlash.toStdString() + "KESTREL_"));
    EXPECT_TRUE(fs::is_directory(AppState.CaptureDir));
    EXPECT_EQ(form.DirLbl->text().toStdString(), AppState.CaptureDir);

    QTest::mouseClick(form.CaptureBtn, Qt::LeftButton);
    EXPECT_EQ(AppState.CaptureCount, 2);
    const fs::path newDir = AppState.CaptureDir;
    ASSERT_TRUE(WaitUntil([&] { return ListFiles(newDir).size() == 1; }, 5s));
    EXPECT_EQ(ListFiles(newDir)[0].filename().string().rfind("2-", 0), 0u) << ListFiles(newDir)[0];
}

TEST_F(ConfigDialog, OkWithNothingChangedStoresNothingAndHides) {
    ConfigDlg& dialog = Open();
    const FileState before = Settings();
    const std::string captureDir = AppState.CaptureDir;
    EXPECT_TRUE(ClickOk(dialog).empty());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(Settings(), before);
    EXPECT_EQ(AppState.CaptureDir, captureDir);
}

TEST_F(ConfigDialog, CancelPutsTheCurrentSettingsBackAndStoresNothing) {
    ConfigDlg& dialog = Open();
    const FileState before = Settings();
    QTest::mouseClick(dialog.UseTimerChk, Qt::LeftButton);
    Retype(dialog.PeriodText, QStringLiteral("7"));
    Retype(dialog.WidthText, QStringLiteral("abc"));
    Retype(dialog.HeightText, QStringLiteral("12"));
    Retype(dialog.BasePathText, QStringLiteral("/nowhere"));
    QTest::mouseClick(dialog.HotkeyChk, Qt::LeftButton);

    QTest::mouseClick(dialog.CancelBtn, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(Settings(), before);
    EXPECT_FALSE(dialog.UseTimerChk->isChecked());
    EXPECT_FALSE(dialog.PeriodText->isEnabled());
    EXPECT_FALSE(dialog.Label1->isEnabled());
    EXPECT_EQ(dialog.PeriodText->text(), "2");
    EXPECT_EQ(dialog.WidthText->text(), "800");
    EXPECT_EQ(dialog.HeightText->text(), "600");
    EXPECT_EQ(dialog.BasePathText->text().toStdString(), AppState.BasePath);
    EXPECT_FALSE(dialog.HotkeyChk->isChecked());
    EXPECT_EQ(AppState.UseTimer, 0);
    EXPECT_EQ(AppState.OutputHeight, 600);
}

TEST_F(ConfigDialog, TheTimerBoxEnablesThePeriodAtOnceAndOkSwitchesTheTimer) {
    ConfigDlg& dialog = Open({{"UseTimer", "0"}, {"TimerPeriod", "0.2"}});
    MainForm& form = MainForm::Instance();
    EXPECT_FALSE(dialog.PeriodText->isEnabled());
    EXPECT_FALSE(dialog.Label1->isEnabled());

    QTest::mouseClick(dialog.UseTimerChk, Qt::LeftButton);
    EXPECT_TRUE(dialog.PeriodText->isEnabled());
    EXPECT_TRUE(dialog.Label1->isEnabled());
    EXPECT_FALSE(form.Timer1->Enabled()) << "nothing changes before OK";
    EXPECT_TRUE(ClickOk(dialog).empty());
    EXPECT_EQ(Stored("UseTimer"), "1");
    EXPECT_TRUE(form.Timer1->Running());
    EXPECT_EQ(form.Timer1->Interval(), 200);
    EXPECT_TRUE(WaitUntil([] { return AppState.CaptureCount >= 1; }, 10s));

    QTest::mouseClick(form.ConfigBtn, Qt::LeftButton);
    QTest::mouseClick(dialog.UseTimerChk, Qt::LeftButton);
    EXPECT_FALSE(dialog.PeriodText->isEnabled());
    EXPECT_FALSE(dialog.Label1->isEnabled());
    EXPECT_TRUE(ClickOk(dialog).empty());
    EXPECT_EQ(Stored("UseTimer"), "0");
    EXPECT_FALSE(form.Timer1->Running());
    const int count = AppState.CaptureCount;
    EXPECT_FALSE(WaitUntil([&] { return AppState.CaptureCount != count; }, 600ms));
}

struct HotkeyCase {
    const char* StoredAtStart;
    const char* FirstCaption;   // after the first toggle and OK
    const char* SecondCaption;  // after toggling back and OK
};

class ConfigDialogHotkey : public ConfigDialog, public testing::WithParamInterface<HotkeyCase> {};

TEST_P(ConfigDialogHotkey, OnlyTheStoreAndTheLabelChangeAndCtrlFGoesOnAsAtStartUp) {
    const HotkeyCase& c = GetParam();
    ConfigDlg& dialog = Open({{"UseHotkey", c.StoredAtStart}});
    MainForm& form = MainForm::Instance();
    const std::int16_t active = AppState.HotkeyActive;
    auto before = TestEnvironment().ReadSettings();

    QTest::mouseClick(dialog.HotkeyChk, Qt::LeftButton);
    EXPECT_TRUE(ClickOk(dialog).empty());
    auto after = TestEnvironment().ReadSettings();
    EXPECT_NE(after["UseHotkey"], before["UseHotkey"]);
    after.erase("UseHotkey");
    before.erase("UseHotkey");
    EXPECT_EQ(after, before) << "only the hot-key setting is written";
    EXPECT_EQ(form.HotkeyLbl->text(), c.FirstCaption);
    EXPECT_EQ(AppState.HotkeyActive, active);

    QTest::mouseClick(form.ConfigBtn, Qt::LeftButton);
    QTest::mouseClick(dialog.HotkeyChk, Qt::LeftButton);
    EXPECT_TRUE(ClickOk(dialog).empty());
    EXPECT_EQ(Stored("UseHotkey"), c.StoredAtStart);
    EXPECT_EQ(form.HotkeyLbl->text(), c.SecondCaption);

    // Ctrl+F keeps working, or keeps not working, until the next start.
    XInput input(TestDisplay());
    input.PressCtrlF();
    input.Sync();
    if (active == 1) {
        EXPECT_TRUE(WaitUntil([] { return Seam::Installed().HotKey->PressPending(); }, 5s));
    } else {
        EXPECT_FALSE(WaitUntil([] { return Seam::Installed().HotKey->PressPending(); }, 500ms));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Toggle, ConfigDialogHotkey,
    testing::Values(HotkeyCase{"1",
                               "Ctrl-F is the Hot Key.  Hot key will be disabled on next launch.",
                               "Ctrl-F is the Hot Key."},
                    HotkeyCase{"0", "Hot key is disabled.  Will be enabled on next launch.",
                               "Hot key is disabled."}),
    [](const testing::TestParamInfo<HotkeyCase>& param) {
        return std::string(param.param.StoredAtStart) == "1" ? "ActiveAtStart" : "OffAtStart";
    });

TEST_F(ConfigDialog, ClosingFromTheTitleBarDiscardsItAndTheNextClickStartsAfresh) {
    ConfigDlg& dialog = Open();
    const FileState before = Settings();
    Retype(dialog.WidthText, QStringLiteral("333"));
    XInput x(TestDisplay());
    QPointer<ConfigDlg> old(&dialog);
    RequestClose(x.Connection(), static_cast<xcb_window_t>(dialog.winId()));
    ASSERT_TRUE(WaitUntil([&] { return old.isNull() || !old->isVisible(); }, 5s));
    EXPECT_EQ(Settings(), before);
    EXPECT_EQ(AppState.OutputWidth, 800);

    // Clicked again before the closed dialog is gone from memory: a new one all the same.
    QTest::mouseClick(MainForm::Instance().ConfigBtn, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
    ConfigDlg* fresh = ConfigDlg::Existing();
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(fresh->isVisible());
    EXPECT_EQ(fresh->WidthText->text(), "800");
    EXPECT_EQ(fresh->focusWidget(), fresh->OKBtn);
}

struct PeriodCase {
    const char* Typed;
    const char* Stored;  // and shown when the dialog is opened again
    float Period;
};

TEST_F(ConfigDialog, PeriodsAreStoredAndShownAsPlainDecimals) {
    ConfigDlg& dialog = Open();
    MainForm& form = MainForm::Instance();
    const PeriodCase cases[] = {{"100000", "100000", 100000.0f},
                                {"0.0006", "0.0006", 0.0006f},
                                {"0.1", "0.1", 0.1f},
                                {"1e5", "100000", 100000.0f}};
    for (const PeriodCase& c : cases) {
        QTest::mouseClick(form.ConfigBtn, Qt::LeftButton);
        // The period box takes typing only while the timer box is ticked.
        QTest::mouseClick(dialog.UseTimerChk, Qt::LeftButton);
        Retype(dialog.PeriodText, QString::fromLatin1(c.Typed));
        QTest::mouseClick(dialog.UseTimerChk, Qt::LeftButton);
        EXPECT_TRUE(ClickOk(dialog).empty()) << c.Typed;
        EXPECT_EQ(AppState.TimerPeriod, c.Period) << c.Typed;
        EXPECT_EQ(Stored("TimerPeriod"), c.Stored) << c.Typed;

        // Opened again after Cancel, the dialog shows the current settings afresh.
        QTest::mouseClick(form.ConfigBtn, Qt::LeftButton);
        QTest::mouseClick(dialog.CancelBtn, Qt::LeftButton);
        QTest::mouseClick(form.ConfigBtn, Qt::LeftButton);
        EXPECT_EQ(dialog.PeriodText->text(), QString::fromLatin1(c.Stored)) << c.Typed;
        QTest::mouseClick(dialog.CancelBtn, Qt::LeftButton);
    }
}

}  // namespace
