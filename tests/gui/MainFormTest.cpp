// The main window as the user meets it: layout, captions, keyboard, the timer's tick, and
// the two dialogs it opens while it keeps capturing.
#include "core/AppState.h"
#include "support/GuiEnvironment.h"
#include "support/InProcessKestrel.h"
#include "support/KestrelProcess.h"
#include "support/UiDriving.h"
#include "support/Wait.h"
#include "support/XInput.h"
#include "support/XWindows.h"
#include "ui/qt/AboutDialog.h"
#include "ui/qt/ConfigDlg.h"
#include "ui/qt/MainForm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QImage>
#include <QStyle>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using namespace TestSupport;
using namespace std::chrono_literals;
using KestrelMain::AppState;
using Ui::MainForm;

QString Caption(QWidget* control) {
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text();
    return QString();
}

TEST(MainForm, ControlsSitWhereTheirTwipsPutThemWithTheirCaptions) {
    // Before start-up writes them, the labels show their captions at creation.
    MainForm& form = MainForm::Instance();
    for (const KestrelMain::ControlLayout& c : KestrelMain::MAIN_FORM.Controls) {
        auto* control = form.findChild<QWidget*>(QString::fromLatin1(c.Name));
        ASSERT_NE(control, nullptr) << c.Name;
        EXPECT_EQ(control->geometry(), InPixels(c.Twips)) << c.Name;
        EXPECT_EQ(Caption(control), QString::fromUtf8(c.Caption)) << c.Name;
    }
    EXPECT_EQ(form.findChild<QObject*>(QStringLiteral("Timer1")), form.Timer1);
    EXPECT_FALSE(form.Timer1->Enabled());
    EXPECT_EQ(form.Timer1->Interval(), 5000);
}

// Every caption of the three windows fits its control in the control's own font, at 96 and
// 192 dpi: no label wraps onto a line its box hides, no button or check box cuts its text.
TEST(MainForm, EveryCaptionOfTheThreeWindowsFitsItsControlAt96And192Dpi) {
    QWidget* const windows[] = {&MainForm::Instance(), &Ui::ConfigDlg::Instance(),
                                &Ui::AboutDialog::Instance()};
    for (const int scale : {1, 2}) {
        QImage device(1, 1, QImage::Format_RGB32);  // its pixels are those of 96 x scale dpi
        device.setDotsPerMeterX(qRound(96 * scale / 0.0254));
        device.setDotsPerMeterY(device.dotsPerMeterX());
        for (QWidget* window : windows) {
            for (QWidget* control : window->findChildren<QWidget*>()) {
                const QFontMetricsF metrics(control->font(), &device);
                const QStyle& style = *control->style();
                // A check box's text starts after the box and a gap.
                const int box = qobject_cast<QCheckBox*>(control) == nullptr
                                    ? 0
                                    : style.pixelMetric(QStyle::PM_IndicatorWidth) +
                                          style.pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
                const QString caption = Caption(control);
                EXPECT_TRUE(caption.isEmpty() || (metrics.horizontalAdvance(caption) <=
                                                      (control->width() - box) * scale &&
                                                  metrics.height() <= control->height() * scale))
                    << 96 * scale << " dpi: " << caption.toStdString();
            }
        }
    }
}

TEST(MainForm, ClientAreaIs418By142AndCannotBeResizedOrMaximised) {
    StartKestrelInProcess();
    MainForm& form = MainForm::Instance();
    EXPECT_EQ(form.logicalDpiX(), 96);
    EXPECT_EQ(form.windowTitle(), "Screen Capture Utility");
    EXPECT_EQ(form.size(), QSize(418, 142));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form.parentWidget(), nullptr);

    // What a window manager reads: the client size, min = max size, and Motif functions
    // with minimize and close but no maximize.
    XInput x(TestDisplay());
    const auto window = WaitForWindow(x.Connection(), "Screen Capture Utility");
    ASSERT_TRUE(window);
    EXPECT_EQ(window->Width, 418);
    EXPECT_EQ(window->Height, 142);
    const auto hints = AtomProperty(x.Connection(), window->Id, "WM_NORMAL_HINTS");
    ASSERT_GE(hints.size(), 9u);
    EXPECT_TRUE((hints[0] & 48) == 48) << "min and max size given";
    EXPECT_EQ(hints[5], 418u);
    EXPECT_EQ(hints[6], 142u);
    EXPECT_EQ(hints[7], 418u);
    EXPECT_EQ(hints[8], 142u);
    const auto motif = AtomProperty(x.Connection(), window->Id, "_MOTIF_WM_HINTS");
    ASSERT_GE(motif.size(), 3u);
    EXPECT_TRUE(motif[0] & 1) << "functions given";
    EXPECT_TRUE(motif[1] & 0x08) << "minimize";
    EXPECT_TRUE(motif[1] & 0x20) << "close";
    EXPECT_FALSE(motif[1] & 0x10) << "maximize";
    EXPECT_FALSE(motif[2] & 0x40) << "maximize box";
}

TEST(MainForm, FocusStartsOnQuitAndTabGoesQuitConfigureCaptureAbout) {
    StartKestrelInProcess();
    MainForm& form = MainForm::Instance();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(QApplication::focusWidget(), form.QuitBtn);

    std::vector<QWidget*> visited;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    const std::vector<QWidget*> expected = {form.ConfigBtn, form.CaptureBtn, form.AboutBtn,
                                            form.QuitBtn};
    EXPECT_EQ(visited, expected);
}

TEST(MainForm, NoButtonIsADefaultButton) {
    StartKestrelInProcess();
    MainForm& form = MainForm::Instance();
    for (QPushButton* button : form.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault()) << button->objectName().toStdString();
        EXPECT_FALSE(button->autoDefault()) << button->objectName().toStdString();
        EXPECT_FALSE(button->text().contains(u'&')) << button->objectName().toStdString();
    }
}

TEST(MainForm, ATickWithTheTimerOffMakesNoCaptureAndSwitchesItOff) {
    StartKestrelInProcess({{"UseTimer", "0"}, {"TimerPeriod", "0.05"}});
    MainForm& form = MainForm::Instance();
    EXPECT_FALSE(form.Timer1->Enabled());
    EXPECT_EQ(form.Timer1->Interval(), 50);
    form.Timer1->SetEnabled(true);
    ASSERT_TRUE(WaitUntil([&] { return !form.Timer1->Enabled(); }, 5s));
    EXPECT_EQ(AppState.CaptureCount, 0);
    EXPECT_EQ(form.TotalLbl->text(), "Total captures saved: 0");
}

TEST(MainForm, CapturesGoOnByButtonAndTimerWhileBothDialogsAreOpen) {
    StartKestrelInProcess({{"OutputWidth", "32"}, {"OutputHeight", "24"}});
    MainForm& form = MainForm::Instance();
    QTest::mouseClick(form.ConfigBtn, Qt::LeftButton);
    QTest::mouseClick(form.AboutBtn, Qt::LeftButton);
    ASSERT_NE(Ui::ConfigDlg::Existing(), nullptr);
    ASSERT_NE(Ui::AboutDialog::Existing(), nullptr);
    EXPECT_TRUE(Ui::ConfigDlg::Existing()->isVisible());
    EXPECT_TRUE(Ui::AboutDialog::Existing()->isVisible());

    QTest::mouseClick(form.CaptureBtn, Qt::LeftButton);
    EXPECT_EQ(AppState.CaptureCount, 1);
    EXPECT_EQ(form.TotalLbl->text(), "Total captures saved: 1");
    const fs::path dir = AppState.CaptureDir;
    EXPECT_TRUE(WaitUntil([&] { return ListFiles(dir).size() == 1; }, 5s));

    // The timer, switched on through the dialog as a user would.
    Ui::ConfigDlg& dialog = *Ui::ConfigDlg::Existing();
    QTest::mouseClick(dialog.UseTimerChk, Qt::LeftButton);
    Retype(dialog.PeriodText, QStringLiteral("0.1"));
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    QTest::mouseClick(form.ConfigBtn, Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(WaitUntil([&] { return AppState.CaptureCount >= 3; }, 10s));
    EXPECT_TRUE(WaitUntil([&] { return ListFiles(dir).size() >= 3; }, 5s));
}

TEST(MainForm, ASecondConfigureLeavesOneUnchangedDialogInFront) {
    StartKestrelInProcess();
    MainForm& form = MainForm::Instance();
    QTest::mouseClick(form.ConfigBtn, Qt::LeftButton);
    Ui::ConfigDlg* dialog = Ui::ConfigDlg::Existing();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    Retype(dialog->WidthText, QStringLiteral("1234"));

    // The main window comes to the front, then Configure is clicked again.
    form.raise();
    XInput x(TestDisplay());
    auto stackIndex = [&](QWidget* w) {
        const auto order = StackingOrder(x.Connection());
        return std::find(order.begin(), order.end(), static_cast<xcb_window_t>(w->winId())) -
               order.begin();
    };
    ASSERT_TRUE(WaitUntil([&] { return stackIndex(&form) > stackIndex(dialog); }, 5s));
    QTest::mouseClick(form.ConfigBtn, Qt::LeftButton);

    EXPECT_EQ(Ui::ConfigDlg::Existing(), dialog);
    int dialogs = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<Ui::ConfigDlg*>(w) != nullptr)
            ++dialogs;
    }
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->WidthText->text(), "1234");
    EXPECT_TRUE(WaitUntil([&] { return stackIndex(dialog) > stackIndex(&form); }, 5s));
}

}  // namespace
