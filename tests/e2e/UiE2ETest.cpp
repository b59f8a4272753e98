// The built program's windows driven only from outside, as a user at the screen drives
// them: XTest clicks at the controls' places and key presses; checked by the captures on
// disk, the settings file and the window tree.
#include "support/KestrelProcess.h"
#include "support/PrivateEnv.h"
#include "support/ProgramTest.h"
#include "support/UiDriving.h"
#include "support/Wait.h"
#include "support/XInput.h"
#include "support/XWindows.h"
#include "support/Xvfb.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using namespace TestSupport;
using namespace TestKit;
using namespace std::chrono_literals;

constexpr const char* CONFIG_TITLE = "Screen Capture Configuration";
constexpr const char* ABOUT_TITLE = "About Screen Capture Utility";

// A control's middle in client pixels, from its place in twips.
struct Control {
    int Left, Top, Width, Height;
    int X() const { return (Left + Width / 2) / 15; }
    int Y() const { return (Top + Height / 2) / 15; }
};

constexpr Control CAPTURE_BTN{240, 1440, 1815, 495};
constexpr Control CONFIG_BTN{2160, 1440, 1095, 495};
constexpr Control ABOUT_BTN{3360, 1440, 855, 495};
constexpr Control QUIT_BTN{5280, 1440, 735, 495};
constexpr Control WIDTH_TEXT{3480, 2040, 735, 285};
constexpr Control HEIGHT_TEXT{5280, 2040, 735, 285};
constexpr Control OK_BTN{4920, 120, 1095, 375};

class UiE2E : public ProgramTest {
  protected:
    explicit UiE2E(XvfbOptions options = {}) : ProgramTest(options) {}

    std::unique_ptr<KestrelProcess> kestrel_;

    void Start(const std::map<std::string, std::string>& settings) {
        kestrel_ = ProgramTest::Start(settings);
    }

    WindowInfo Window(const char* title) {
        const auto window = WaitForWindow(input_.Connection(), title, 10s);
        EXPECT_TRUE(window) << title << "; stderr:\n" << kestrel_->Stderr();
        return window.value_or(WindowInfo{});
    }

    void ClickOn(const char* title, const Control& control) {
        const WindowInfo window = Window(title);
        input_.Click(window.X + control.X(), window.Y + control.Y());
    }

    void TypeInto(const Control& box, const std::string& text) {
        ClickOn(CONFIG_TITLE, box);
        input_.Tap('a', {KEY_CONTROL_L});
        input_.TypeText(text);
    }

    // Without a window manager every new window opens at the screen's corner, over the
    // main window; the user drags the dialog aside before going on.
    WindowInfo OpenConfigAside() {
        ClickOn(MAIN_TITLE, CONFIG_BTN);
        const WindowInfo dialog = Window(CONFIG_TITLE);
        const std::uint32_t place[] = {500, 400};
        xcb_configure_window(input_.Connection(), dialog.Id,
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, place);
        input_.Sync();
        EXPECT_TRUE(WaitUntil(
            [&] {
                const auto moved = FindWindowByTitle(input_.Connection(), CONFIG_TITLE);
                return moved && moved->X == 500 && moved->Y == 400;
            },
            10s));
        return Window(CONFIG_TITLE);
    }

    std::vector<fs::path> Captures() { return ListFiles(kestrel_->FindCaptureDir()); }

    bool Gone(const char* title) {
        return WaitUntil([&] { return !FindWindowByTitle(input_.Connection(), title); }, 10s);
    }
};

TEST_F(UiE2E, CapturesByButtonThenSavesAtTheSizeChosenInTheDialog) {
    Start({{"OutputWidth", "64"}, {"OutputHeight", "48"}});
    ClickOn(MAIN_TITLE, CAPTURE_BTN);
    ASSERT_TRUE(WaitUntil([&] { return Captures().size() == 1; }, 10s)) << kestrel_->Stderr();
    const BmpSize first = ReadBmpSize(Captures()[0]);
    EXPECT_EQ(first.Width, 64);
    EXPECT_EQ(first.Height, 48);

    OpenConfigAside();
    TypeInto(WIDTH_TEXT, "80");
    TypeInto(HEIGHT_TEXT, "60");
    ClickOn(CONFIG_TITLE, OK_BTN);
    ASSERT_TRUE(Gone(CONFIG_TITLE)) << "the dialog stayed open";
    const auto stored = env_.ReadSettings();
    EXPECT_EQ(stored.at("OutputWidth"), "80");
    EXPECT_EQ(stored.at("OutputHeight"), "60");

    ClickOn(MAIN_TITLE, CAPTURE_BTN);
    ASSERT_TRUE(WaitUntil([&] { return Captures().size() == 2; }, 10s)) << kestrel_->Stderr();
    const auto files = Captures();
    const auto second = std::find_if(files.begin(), files.end(), [](const fs::path& f) {
        return f.filename().string().rfind("2-", 0) == 0;
    });
    ASSERT_NE(second, files.end());
    const BmpSize size = ReadBmpSize(*second);
    EXPECT_EQ(size.Width, 80);
    EXPECT_EQ(size.Height, 60);
    // Started without a session bus: the action is missing, said once, and nothing else.
    const std::string said = kestrel_->Stderr();
    const std::string note = "Cannot offer the capture action on the session bus";
    EXPECT_NE(said.find(note), std::string::npos) << said;
    EXPECT_EQ(said.find(note), said.rfind(note)) << said;
}

TEST_F(UiE2E, CapturesGoOnByHotKeyAndButtonWhileEitherDialogIsOpen) {
    // The first press is also the server's first switch to the XTest keyboard: it must not
    // open a moment in which Ctrl+F is not grabbed.
    Start({{"UseHotkey", "1"}, {"OutputWidth", "32"}, {"OutputHeight", "24"}});
    OpenConfigAside();
    input_.PressCtrlF();
    ASSERT_TRUE(WaitUntil([&] { return Captures().size() == 1; }, 10s)) << kestrel_->Stderr();

    ClickOn(MAIN_TITLE, ABOUT_BTN);
    Window(ABOUT_TITLE);
    input_.PressCtrlF();
    ASSERT_TRUE(WaitUntil([&] { return Captures().size() == 2; }, 10s));
    ClickOn(MAIN_TITLE, CAPTURE_BTN);
    ASSERT_TRUE(WaitUntil([&] { return Captures().size() == 3; }, 10s));
    EXPECT_TRUE(FindWindowByTitle(input_.Connection(), CONFIG_TITLE));
    EXPECT_TRUE(FindWindowByTitle(input_.Connection(), ABOUT_TITLE));
}

// Two monitors side by side, the primary on the right and lower down: the root window's
// corner is on the other one.
class UiMonitorsE2E : public UiE2E {
  protected:
    UiMonitorsE2E() : UiE2E(XvfbOptions{2048, 768, 24, {}}) {}
};

TEST_F(UiMonitorsE2E, TheAboutWindowOpensOnThePrimaryMonitor2760By3750TwipsFromItsCorner) {
    ASSERT_TRUE(SetMonitor(server_.Display(), {"left", 0, 0, 1024, 768, false}));
    ASSERT_TRUE(SetMonitor(server_.Display(), {"right", 1024, 168, 1024, 600, true}));
    Start({{"UseTimer", "0"}});
    ClickOn(MAIN_TITLE, ABOUT_BTN);
    const WindowInfo about = Window(ABOUT_TITLE);
    EXPECT_EQ(about.X, 1024 + 184);
    EXPECT_EQ(about.Y, 168 + 250);
    EXPECT_EQ(about.Width, 405);
    EXPECT_EQ(about.Height, 108);
}

enum class Ending { QuitButton, CloseBox };

class UiE2EEnding : public UiE2E, public testing::WithParamInterface<Ending> {};

TEST_P(UiE2EEnding, EndsAtOnceWithTheDialogOpenAndStoresNothing) {
    Start({{"OutputWidth", "800"}});
    const FileState before = ReadFileState(env_.SettingsFile());
    ASSERT_TRUE(before.Exists);
    OpenConfigAside();
    TypeInto(WIDTH_TEXT, "640");
    // The text reaches the dialog before the program ends.
    input_.Sync();

    if (GetParam() == Ending::QuitButton) {
        ClickOn(MAIN_TITLE, QUIT_BTN);
    } else {
        RequestClose(input_.Connection(), Window(MAIN_TITLE).Id);
    }
    const auto status = kestrel_->WaitExit(10s);
    ASSERT_TRUE(status.has_value()) << "still running";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_EQ(ReadFileState(env_.SettingsFile()), before);
    EXPECT_TRUE(Captures().empty());
    EXPECT_FALSE(FindWindowByTitle(input_.Connection(), CONFIG_TITLE));
}

INSTANTIATE_TEST_SUITE_P(Ending, UiE2EEnding, testing::Values(Ending::QuitButton, Ending::CloseBox),
                         [](const testing::TestParamInfo<Ending>& param) {
                             return param.param == Ending::QuitButton ? "QuitButton" : "CloseBox";
                         });

}  // namespace
