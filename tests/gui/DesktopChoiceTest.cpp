// The backend the program chooses at start-up, as the core then reaches it: on an X11
// display, the X11 screen, grab and hot key. (Elsewhere the choice reports that no screen
// backend is available; StartupE2E checks that on the built program.)
#include "app/LinuxServices.h"
#include "core/seam/Services.h"
#include "support/FakeEvents.h"
#include "support/GuiEnvironment.h"
#include "support/Wait.h"
#include "support/XInput.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include <map>

namespace {

using namespace TestSupport;
using namespace std::chrono_literals;

// The four sources of a Wayland session, each answering through `whyNot`.
std::vector<App::ScreenSource> Sources(
    const std::function<std::optional<std::string>(std::string_view)>& whyNot) {
    std::vector<App::ScreenSource> all;
    for (const std::string_view name : {"screencopy", "kwin", "screencast", "screenshot"})
        all.push_back({name, [&whyNot, name] { return whyNot(name); }, {}});
    return all;
}

// A Wayland session's screen source: the user's request where it works, else the first that
// works, asking no further than needed.
TEST(DesktopChoice, TheScreenSourceIsTheRequestedOneOrTheFirstThatWorks) {
    const std::map<std::string_view, std::string> broken{{"screencopy", "no wlr-screencopy"},
                                                         {"kwin", "not KWin"}};
    const struct {
        const char* Requested;
        const char* Chosen;
        const char* Note;
    } cases[] = {
        {"", "screencast", ""},
        {"screenshot", "screenshot", ""},
        {"kwin", "screencast",
         "KESTREL_SCREEN_SOURCE=kwin cannot be used: not KWin; choosing as usual"},
        {"grim", "screencast",
         "KESTREL_SCREEN_SOURCE=grim names no screen source (screencopy, kwin, screencast or "
         "screenshot); choosing as usual"},
    };
    for (const auto& c : cases) {
        std::vector<std::string_view> asked;
        const App::SourceChoice choice = App::ChooseScreenSource(
            Sources([&](std::string_view source) -> std::optional<std::string> {
                asked.push_back(source);
                const auto it = broken.find(source);
                return it == broken.end() ? std::nullopt : std::optional(it->second);
            }),
            c.Requested);
        EXPECT_EQ(choice.Source, c.Chosen) << c.Requested;
        EXPECT_EQ(choice.Notes.empty() ? "" : choice.Notes.front(), c.Note) << c.Requested;
        EXPECT_EQ(asked.back(), c.Chosen) << "asked beyond the choice";
    }
    const auto none = App::ChooseScreenSource(
        Sources([](std::string_view) { return std::optional<std::string>("no"); }), "");
    EXPECT_EQ(none.Source, "");
    EXPECT_EQ(none.WhyNone, "screencopy: no; kwin: no; screencast: no; screenshot: no");
}

TEST(DesktopChoice, OnAnX11DisplayTheScreenIsTheServersPrimaryMonitor) {
    const auto screen = Seam::Installed().Screen->ReadPrimaryScreen();
    ASSERT_TRUE(screen.Ok()) << screen.Error().Text();
    const QRect expected = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ((*screen).X, expected.x());
    EXPECT_EQ((*screen).Y, expected.y());
    EXPECT_EQ((*screen).Width, expected.width());
    EXPECT_EQ((*screen).Height, expected.height());

    const auto picture = Seam::Installed().Grab->GrabScaled(*screen, 40, 30);
    ASSERT_TRUE(picture.Ok()) << picture.Error().Text();
}

TEST(DesktopChoice, OnAnX11DisplayCtrlFReachesTheHotKeyTheCoreIsGiven) {
    Seam::HotKey& hotKey = *Seam::Installed().HotKey;
    RecordingHotKeyAnswers noLaterAnswer;  // X11 answers at once
    const auto failed = hotKey.Register(noLaterAnswer);
    ASSERT_FALSE(failed) << failed->Text();
    EXPECT_FALSE(hotKey.TakePress());

    XInput input(TestDisplay());
    input.PressCtrlF();
    input.Sync();
    ASSERT_TRUE(WaitUntil([&] { return hotKey.PressPending(); }, 5s));
    EXPECT_TRUE(hotKey.TakePress());
    EXPECT_FALSE(hotKey.PressPending());
}

}  // namespace
