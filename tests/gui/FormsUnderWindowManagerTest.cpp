// What only a window manager decides: whether a window can be resized or maximised, which
// windows get a task-bar button, where a placed window ends up inside its frame. IceWM
// manages the test's private display here.
#include "support/GuiEnvironment.h"
#include "support/InProcessKestrel.h"
#include "support/UiDriving.h"
#include "support/Wait.h"
#include "support/XInput.h"
#include "support/XWindows.h"
#include "ui/qt/AboutDialog.h"
#include "ui/qt/ConfigDlg.h"
#include "ui/qt/MainForm.h"

#include <gtest/gtest.h>

#include <xcb/xtest.h>

#include <QTest>

#include <algorithm>

namespace {

using namespace TestSupport;
using namespace std::chrono_literals;
using Ui::MainForm;

class UnderWindowManager : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(wm_.Running()) << "the window manager did not start"; }

    bool Has(const std::vector<std::uint32_t>& atoms, const char* name) {
        const xcb_atom_t atom = InternAtom(x_.Connection(), name);
        return std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
    }

    // The client once the window manager has framed it and published what it allows.
    WindowInfo Managed(const char* title) {
        std::optional<WindowInfo> window;
        EXPECT_TRUE(WaitUntil(
            [&] {
                window = FindWindowByTitle(x_.Connection(), title);
                return window &&
                       !AtomProperty(x_.Connection(), window->Id, "_NET_WM_ALLOWED_ACTIONS")
                            .empty() &&
                       !AtomProperty(x_.Connection(), window->Id, "_NET_FRAME_EXTENTS").empty();
            },
            10s))
            << title;
        return window.value_or(WindowInfo{});
    }

    // Sends a client message about the window to the window manager, as pagers and task
    // bars do.
    void AskWindowManager(xcb_window_t window, const char* type, std::uint32_t d0,
                          std::uint32_t d1 = 0, std::uint32_t d2 = 0, std::uint32_t d3 = 0,
                          std::uint32_t d4 = 0) {
        xcb_connection_t* c = x_.Connection();
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = InternAtom(c, type);
        event.data.data32[0] = d0;
        event.data.data32[1] = d1;
        event.data.data32[2] = d2;
        event.data.data32[3] = d3;
        event.data.data32[4] = d4;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_send_event(c, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        x_.Sync();
    }

    void AddState(xcb_window_t window, const char* first, const char* second = nullptr) {
        AskWindowManager(window, "_NET_WM_STATE", 1, InternAtom(x_.Connection(), first),
                         second != nullptr ? InternAtom(x_.Connection(), second) : 0, 1);
    }

    bool InState(xcb_window_t window, const char* state) {
        return Has(AtomProperty(x_.Connection(), window, "_NET_WM_STATE"), state);
    }

    WindowManager wm_{TestDisplay()};
    XInput x_{TestDisplay()};
};

TEST_F(UnderWindowManager, TheMainWindowCanBeMinimisedButNeitherResizedNorMaximised) {
    StartKestrelInProcess();
    const WindowInfo main = Managed("Screen Capture Utility");
    const auto allowed = AtomProperty(x_.Connection(), main.Id, "_NET_WM_ALLOWED_ACTIONS");
    EXPECT_TRUE(Has(allowed, "_NET_WM_ACTION_MINIMIZE"));
    EXPECT_TRUE(Has(allowed, "_NET_WM_ACTION_CLOSE"));
    EXPECT_FALSE(Has(allowed, "_NET_WM_ACTION_MAXIMIZE_HORZ"));
    EXPECT_FALSE(Has(allowed, "_NET_WM_ACTION_MAXIMIZE_VERT"));

    // The user drags the frame's bottom-right corner outwards and asks for maximisation;
    // the window manager refuses both. A later request that it does grant shows that it
    // has handled them.
    const auto frame = AtomProperty(x_.Connection(), main.Id, "_NET_FRAME_EXTENTS");
    ASSERT_EQ(frame.size(), 4u);
    const int cornerX = main.X + main.Width + static_cast<int>(frame[1]) - 1;
    const int cornerY = main.Y + main.Height + static_cast<int>(frame[3]) - 1;
    x_.MovePointer(cornerX, cornerY);
    xcb_test_fake_input(x_.Connection(), XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    x_.Sync();
    for (int step = 1; step <= 10; ++step) x_.MovePointer(cornerX + 20 * step, cornerY + 15 * step);
    xcb_test_fake_input(x_.Connection(), XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                        0);
    x_.Sync();
    AddState(main.Id, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
    AddState(main.Id, "_NET_WM_STATE_ABOVE");
    ASSERT_TRUE(WaitUntil([&] { return InState(main.Id, "_NET_WM_STATE_ABOVE"); }, 5s));
    EXPECT_FALSE(InState(main.Id, "_NET_WM_STATE_MAXIMIZED_VERT"));
    EXPECT_FALSE(InState(main.Id, "_NET_WM_STATE_MAXIMIZED_HORZ"));
    const auto now = FindWindowByTitle(x_.Connection(), "Screen Capture Utility");
    ASSERT_TRUE(now);
    EXPECT_EQ(now->Width, 418);
    EXPECT_EQ(now->Height, 142);
    EXPECT_EQ(MainForm::Instance().size(), QSize(418, 142));

    AddState(main.Id, "_NET_WM_STATE_HIDDEN");
    MainForm::Instance().showMinimized();
    EXPECT_TRUE(WaitUntil([&] { return InState(main.Id, "_NET_WM_STATE_HIDDEN"); }, 5s))
        << "minimised";
}

TEST_F(UnderWindowManager, TheDialogsAreFixedAndOnlyTheAboutWindowStaysOffTheTaskBar) {
    StartKestrelInProcess();
    QTest::mouseClick(MainForm::Instance().ConfigBtn, Qt::LeftButton);
    QTest::mouseClick(MainForm::Instance().AboutBtn, Qt::LeftButton);
    const WindowInfo main = Managed("Screen Capture Utility");
    const WindowInfo config = Managed("Screen Capture Configuration");
    const WindowInfo about = Managed("About Screen Capture Utility");

    for (const WindowInfo& dialog : {config, about}) {
        const auto allowed = AtomProperty(x_.Connection(), dialog.Id, "_NET_WM_ALLOWED_ACTIONS");
        EXPECT_TRUE(Has(allowed, "_NET_WM_ACTION_CLOSE"));
        EXPECT_FALSE(Has(allowed, "_NET_WM_ACTION_MINIMIZE"));
        EXPECT_FALSE(Has(allowed, "_NET_WM_ACTION_MAXIMIZE_HORZ"));
        EXPECT_FALSE(Has(allowed, "_NET_WM_ACTION_MAXIMIZE_VERT"));
    }
    // Task bars list the windows that do not ask to be skipped; the About window asks, as
    // a utility window that is transient for the program.
    for (const WindowInfo& listed : {main, config}) {
        const auto type = AtomProperty(x_.Connection(), listed.Id, "_NET_WM_WINDOW_TYPE");
        ASSERT_FALSE(type.empty());
        EXPECT_EQ(type[0], InternAtom(x_.Connection(), "_NET_WM_WINDOW_TYPE_NORMAL"));
        EXPECT_TRUE(AtomProperty(x_.Connection(), listed.Id, "WM_TRANSIENT_FOR").empty());
        EXPECT_FALSE(InState(listed.Id, "_NET_WM_STATE_SKIP_TASKBAR"));
    }
    EXPECT_TRUE(InState(about.Id, "_NET_WM_STATE_SKIP_TASKBAR"));
    const auto aboutType = AtomProperty(x_.Connection(), about.Id, "_NET_WM_WINDOW_TYPE");
    ASSERT_FALSE(aboutType.empty());
    EXPECT_EQ(aboutType[0], InternAtom(x_.Connection(), "_NET_WM_WINDOW_TYPE_UTILITY"));

    // Hidden and shown again, it still stays off the task bar.
    QTest::mouseClick(Ui::AboutDialog::Existing()->OKButton, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil(
        [&] { return !FindWindowByTitle(x_.Connection(), "About Screen Capture Utility"); }, 5s));
    QTest::mouseClick(MainForm::Instance().AboutBtn, Qt::LeftButton);
    const WindowInfo again = Managed("About Screen Capture Utility");
    EXPECT_TRUE(InState(again.Id, "_NET_WM_STATE_SKIP_TASKBAR"));
}

TEST_F(UnderWindowManager, TheAboutWindowsClientAreaStaysAt2760By3750TwipsInsideItsFrame) {
    StartKestrelInProcess();
    QTest::mouseClick(MainForm::Instance().AboutBtn, Qt::LeftButton);
    WindowInfo about = Managed("About Screen Capture Utility");
    EXPECT_EQ(about.X, 184);
    EXPECT_EQ(about.Y, 250);
    EXPECT_EQ(about.Width, 405);
    EXPECT_EQ(about.Height, 108);

    QTest::mouseClick(Ui::AboutDialog::Existing()->OKButton, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil(
        [&] { return !FindWindowByTitle(x_.Connection(), "About Screen Capture Utility"); }, 5s));
    QTest::mouseClick(MainForm::Instance().AboutBtn, Qt::LeftButton);
    about = Managed("About Screen Capture Utility");
    EXPECT_EQ(about.X, 184);
    EXPECT_EQ(about.Y, 250);
}

}  // namespace
