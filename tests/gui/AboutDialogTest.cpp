// The About window: its look, where it sits, the web page it opens and its short life.
#include "support/GuiEnvironment.h"
#include "support/InProcessKestrel.h"
#include "support/UiDriving.h"
#include "support/Wait.h"
#include "support/XInput.h"
#include "support/XWindows.h"
#include "ui/qt/AboutDialog.h"
#include "ui/qt/Controls.h"
#include "ui/qt/MainForm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace TestSupport;
using namespace std::chrono_literals;
using Ui::AboutDialog;
using Ui::MainForm;

class About : public testing::Test {
  protected:
    AboutDialog& Open() {
        StartKestrelInProcess();
        QTest::mouseClick(MainForm::Instance().AboutBtn, Qt::LeftButton);
        AboutDialog* about = AboutDialog::Existing();
        if (about == nullptr)
            throw std::runtime_error("no About window");
        EXPECT_TRUE(QTest::qWaitForWindowExposed(about));
        return *about;
    }
    XInput x_{TestDisplay()};
};

TEST_F(About, ItsControlsCaptionsAndTitleLine) {
    AboutDialog& about = Open();
    EXPECT_EQ(about.windowTitle(), "About Screen Capture Utility");
    EXPECT_EQ(about.size(), QSize(405, 108));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    // Its controls, found by name, are all it has.
    EXPECT_EQ(about.findChildren<QPushButton*>().size(), 2);
    EXPECT_EQ(about.findChildren<QLabel*>().size(), 1);
    EXPECT_EQ(about.Command1->geometry(), QRect(24, 64, 249, 25));
    EXPECT_EQ(about.Command1->text(), "Visit the Ardmoor Website for More Information");
    EXPECT_EQ(about.OKButton->geometry(), QRect(296, 64, 81, 25));
    EXPECT_EQ(about.OKButton->text(), "OK");
    EXPECT_EQ(about.Label1->geometry(), QRect(16, 16, 385, 33));
    EXPECT_EQ(about.Label1->text(), "Ardmoor Screen Capture Utility v1.0");

    const QFont font = about.Label1->font();
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 13.5);
    EXPECT_EQ(font.weight(), QFont::Bold);
    EXPECT_TRUE(font.italic());
    EXPECT_EQ(font.families().value(0), "MS Sans Serif");
    EXPECT_EQ(font.families(), Ui::DialogFont().families()) << "the windows' one list of faces";
    EXPECT_LE(QFontMetrics(font).horizontalAdvance(about.Label1->text()), about.Label1->width())
        << "the stand-in face cuts the title short";
    const QFontInfo face(font);
    EXPECT_TRUE(face.bold());
    EXPECT_TRUE(face.italic());
    EXPECT_EQ(face.styleHint(), QFont::SansSerif);
    // Without the original face a sans-serif stands in: never a serif or a fixed face.
    EXPECT_FALSE(face.fixedPitch());
    EXPECT_EQ(about.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 192));

    for (QPushButton* button : about.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault() || button->autoDefault());
    }
    const Qt::WindowFlags flags = about.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(about.parentWidget(), nullptr);
}

TEST_F(About, FocusStartsOnOkAndTabGoesToTheWebSiteButton) {
    AboutDialog& about = Open();
    about.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    EXPECT_EQ(QApplication::focusWidget(), about.OKButton);
    QTest::keyClick(about.OKButton, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), about.Command1);
    QTest::keyClick(about.Command1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), about.OKButton);
}

TEST_F(About, ItsClientAreaSitsAt2760By3750Twips) {
    Open();
    const auto window = WaitForWindow(x_.Connection(), "About Screen Capture Utility");
    ASSERT_TRUE(window);
    EXPECT_EQ(window->X, 184);
    EXPECT_EQ(window->Y, 250);
    EXPECT_EQ(window->Width, 405);
    EXPECT_EQ(window->Height, 108);
}

TEST_F(About, TheWebSiteButtonOpensTheMakersPageAndHides) {
    // A stand-in for the desktop's URL handler records what it was asked to open.
    const fs::path bin = TestEnvironment().Root() / "bin";
    const fs::path opened = TestEnvironment().Root() / "opened.txt";
    fs::create_directories(bin);
    {
        std::ofstream script(bin / "xdg-open");
        script << "#!/bin/sh\nprintf '%s' \"$1\" > '" << opened.string() << ".part'\n"
               << "mv '" << opened.string() << ".part' '" << opened.string() << "'\n";
    }
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    const std::string path = bin.string() + ":" + std::getenv("PATH");
    setenv("PATH", path.c_str(), 1);

    AboutDialog& about = Open();
    QTest::mouseClick(about.Command1, Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    EXPECT_TRUE(MainForm::Instance().isVisible());
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(opened); }, 10s));
    std::ifstream in(opened);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "http://" KESTREL_MAKER_HOST "/education/dl/tools/");
    EXPECT_EQ(AboutDialog::Existing(), &about) << "hidden, not destroyed";
}

TEST_F(About, OkHidesAndTheNextClickShowsItWhereItWas) {
    AboutDialog& about = Open();
    ASSERT_TRUE(WaitForWindow(x_.Connection(), "About Screen Capture Utility"));
    QTest::mouseClick(about.OKButton, Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    EXPECT_TRUE(WaitUntil(
        [&] { return !FindWindowByTitle(x_.Connection(), "About Screen Capture Utility"); }, 5s));

    QTest::mouseClick(MainForm::Instance().AboutBtn, Qt::LeftButton);
    EXPECT_EQ(AboutDialog::Existing(), &about);
    EXPECT_TRUE(about.isVisible());
    const auto window = WaitForWindow(x_.Connection(), "About Screen Capture Utility");
    ASSERT_TRUE(window);
    EXPECT_EQ(window->X, 184);
    EXPECT_EQ(window->Y, 250);
}

TEST_F(About, ClosingFromTheTitleBarDestroysItAndTheNextClickMakesANewOne) {
    AboutDialog& about = Open();
    QPointer<AboutDialog> old(&about);
    RequestClose(x_.Connection(), static_cast<xcb_window_t>(about.winId()));
    ASSERT_TRUE(WaitUntil([&] { return old.isNull() || !old->isVisible(); }, 5s));
    // Clicked again before the closed window is gone from memory: a new one all the same.
    QTest::mouseClick(MainForm::Instance().AboutBtn, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
    ASSERT_NE(AboutDialog::Existing(), nullptr);
    EXPECT_TRUE(AboutDialog::Existing()->isVisible());
    EXPECT_TRUE(MainForm::Instance().isVisible());
}

}  // namespace
