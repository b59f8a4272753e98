// The backend the program chooses at start-up, as the core then reaches it: on an X11
// display, the X11 screen, grab and hot key. (Elsewhere the choice reports that no screen
// backend is available; StartupE2E checks that on the built program.)
#include "core/seam/Services.h"
#include "support/FakeEvents.h"
#include "support/GuiEnvironment.h"
#include "support/Wait.h"
#include "support/XInput.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

namespace {

using namespace TestSupport;
using namespace std::chrono_literals;

TEST(DesktopChoice, OnAnX11DisplayTheScreenIsTheServersPrimaryMonitor) {
    const auto screen = Platform::Installed().Screen->ReadPrimaryScreen();
    ASSERT_TRUE(screen.Ok()) << screen.Error().Text();
    const QRect expected = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ((*screen).X, expected.x());
    EXPECT_EQ((*screen).Y, expected.y());
    EXPECT_EQ((*screen).Width, expected.width());
    EXPECT_EQ((*screen).Height, expected.height());

    const auto picture = Platform::Installed().Grab->GrabScaled(*screen, 40, 30);
    ASSERT_TRUE(picture.Ok()) << picture.Error().Text();
}

TEST(DesktopChoice, OnAnX11DisplayCtrlFReachesTheHotKeyTheCoreIsGiven) {
    Platform::HotKey& hotKey = *Platform::Installed().HotKey;
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
