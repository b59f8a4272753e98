// Kestrel on KDE Plasma, on a real headless KWin (desktop-session.sh kwin), one session per suite:
// KWin's screenshot interface for the program its desktop entry lists and for no other, the
// hot key through the desktop portal's GlobalShortcuts, and the primary output of KWin's own
// order. Where KWin cannot serve a check (without OpenGL it makes no screenshots), the check
// is skipped with KWin's reason.
#include "KwinSession.h"
#include "SwaySession.h"
#include "support/Wait.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace WaylandTest;
using namespace std::chrono_literals;

// Without a desktop entry of its own (the built Kestrel is not listed in this session), KWin
// refuses; Kestrel says why, chooses on, and answers its capture action all the same.
TEST(KwinRefused, AProgramNoDesktopEntryListsIsRefusedAndRunsOn) {
    if (const std::string why = WhyKwinLacks(Screenshots::Interface); !why.empty())
        GTEST_SKIP() << why;
    SessionKestrel kestrel;
    ASSERT_TRUE(kestrel.Says("cannot be used: KWin does not let this program take screenshots"))
        << kestrel.Process().Stderr();
    EXPECT_EQ(CaptureAction(), 0);
    EXPECT_TRUE(kestrel.Process().Running());
    EXPECT_EQ(kestrel.Process().Stderr().find("through KWin's screenshot interface"),
              std::string::npos);
}

TEST(KwinGrab, TheListedProgramCapturesTheExactPictureOnScreen) {
    if (const std::string why = WhyKwinLacks(Screenshots::Pictures); !why.empty())
        GTEST_SKIP() << why;
    SessionKestrel kestrel;
    ASSERT_TRUE(kestrel.Says("through KWin's screenshot interface, primary output Virtual-0"))
        << kestrel.Process().Stderr();
    const QImage busy = BusyPicture(1920, 1080);
    const ShownPicture shown(busy);
    ASSERT_TRUE(shown.Started());
    EXPECT_TRUE(CapturesShow(kestrel, busy)) << kestrel.Process().Stderr();
}

// A held Ctrl+F repeats, and KWin 5 and 6.3 say Activated for each repeat (6.7 once a
// press): one capture all the same; a second press makes one more. Where KWin makes no
// pictures, each capture is one that says KWin's answer.
TEST(KwinShortcut, AHeldCtrlFCapturesOnceAndASecondPressOnceMore) {
    FakeKeyboard keyboard;
    ASSERT_TRUE(keyboard.Ready());
    SessionKestrel kestrel(Settings{{"UseHotkey", "1"}});
    // Plasma 6.4 and later ask once whether Kestrel may have the shortcut, in a window of the
    // desktop portal's, where Return says yes; older ones bind it without asking. The window
    // can take long to come up on a busy machine, and a Return before it has the keyboard is
    // lost: Return again while it is there.
    const std::string bound = "the hot key through the desktop portal, bound to Ctrl+F";
    const std::string asking = "org.freedesktop.impl.portal.desktop.kde";
    TaskWindows windows;
    const bool answered = TestSupport::WaitUntil(
        [&] {
            if (windows.Active(asking)) {
                keyboard.Key(KEY_ENTER, true);
                keyboard.Key(KEY_ENTER, false);
            }
            return kestrel.Says(bound, 1, 2s);
        },
        60s);
    ASSERT_TRUE(answered) << kestrel.Process().Stderr();
    if (const std::string why = WhyKwinLacks(Screenshots::Interface); !why.empty())
        GTEST_SKIP() << "Ctrl+F is bound, but Kestrel has no screen to capture: " << why;
    const bool pictures = WhyKwinLacks(Screenshots::Pictures).empty();
    const auto captures = [&](std::size_t count, std::chrono::milliseconds deadline = 15s) {
        return pictures ? kestrel.WaitForCaptures(count, deadline)
                        : kestrel.Says("Cannot read the screen: KWin answered", count, deadline);
    };
    const auto pressed = std::chrono::steady_clock::now();
    keyboard.Key(KEY_LEFTCTRL, true);
    keyboard.Key(KEY_F, true);
    ASSERT_TRUE(captures(1)) << kestrel.Process().Stderr();
    // Held on until 1.5 s after the press, well into the key's repeats: the length of the
    // press the test makes, not a wait for Kestrel.
    TestSupport::WaitUntil([&] { return std::chrono::steady_clock::now() - pressed >= 1500ms; },
                           2s);
    keyboard.Key(KEY_F, false);
    EXPECT_FALSE(captures(2, 1s)) << "a held key made more than one capture";
    keyboard.Key(KEY_F, true);
    keyboard.Key(KEY_F, false);
    keyboard.Key(KEY_LEFTCTRL, false);
    EXPECT_TRUE(captures(2)) << kestrel.Process().Stderr();
    EXPECT_FALSE(captures(3, 1s));
}

}  // namespace

// Two outputs side by side: the one KWin's order puts first is the primary one, wherever it
// lies, asked again at each capture.
TEST(KwinOutputs, ThePrimaryOutputIsTheFirstOfKWinsOrderAtEachCapture) {
    ASSERT_TRUE(PutFirst("Virtual-1"));
    if (const std::string why = WhyKwinLacks(Screenshots::Interface); !why.empty())
        GTEST_SKIP() << "Virtual-1 is first, but only KWin's screenshot interface makes Kestrel "
                        "name its primary output: "
                     << why;
    SessionKestrel kestrel;
    ASSERT_TRUE(kestrel.Says("through KWin's screenshot interface, primary output Virtual-1"))
        << kestrel.Process().Stderr();
    ASSERT_TRUE(PutFirst("Virtual-0"));
    EXPECT_EQ(CaptureAction(), 0);
    EXPECT_TRUE(kestrel.Says("the primary output is now Virtual-0")) << kestrel.Process().Stderr();
    if (WhyKwinLacks(Screenshots::Pictures).empty()) {
        EXPECT_TRUE(kestrel.WaitForCaptures(1, 15s)) << kestrel.Process().Stderr();
    }
}
