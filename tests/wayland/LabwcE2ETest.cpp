// Kestrel on a real headless labwc (desktop-session.sh labwc): two outputs, HEADLESS-2 on the
// left of the primary HEADLESS-1, and Ctrl+F bound to the capture action by the README's own
// rc.xml line, as a user would bind it; labwc offers no program a key.
#include "SwaySession.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

namespace {

using namespace WaylandTest;
using namespace std::chrono_literals;

// The layout: both outputs side by side, from HEADLESS-2's top-left corner.
constexpr int LAYOUT_WIDTH = 2 * 1920;
constexpr int LAYOUT_HEIGHT = 1080;

// The capture action answers once Kestrel has its name on the session bus.
bool ActionOffered() {
    return TestSupport::WaitUntil(
        [] {
            return Shell(
                       "gdbus call --session --dest org.freedesktop.DBus --object-path "
                       "/org/freedesktop/DBus --method org.freedesktop.DBus.NameHasOwner "
                       "org.ardmoor.Kestrel 2>/dev/null | grep -q true") == 0;
        },
        15s);
}

TEST(Labwc, TimerCapturesShowThePrimaryOutputNamedWithThePointerOnEitherOutput) {
    VirtualPointer pointer;
    ASSERT_TRUE(pointer.Ready());
    // labwc 0.8 draws the cursor into the output's pictures, its own and Kestrel's alike: the
    // picture is compared while the pointer is on the other output.
    const struct {
        int X, Y;
        const char* Place;
    } cases[] = {{960, 540, "-400-300.bmp"}, {1920 + 96, 54, "40-30.bmp"}};
    pointer.MoveInLayout(cases[0].X, cases[0].Y, LAYOUT_WIDTH, LAYOUT_HEIGHT);
    const QImage busy = BusyPicture(1920, 1080);
    ASSERT_TRUE(Paint("HEADLESS-1", busy));
    SessionKestrel kestrel(Settings{{"UseTimer", "1"}, {"TimerPeriod", "0.3"}});
    EXPECT_TRUE(kestrel.Says("Wayland: the screen through " + CaptureProtocol() +
                             ", primary output HEADLESS-1 (1920 x 1080 pixels at 0,0)"))
        << kestrel.Process().Stderr();
    // The newest capture's name; a timer capture under way as the pointer moves may still
    // name its old place.
    const auto newest = [&] {
        std::pair<int, std::string> found{0, ""};
        for (const std::string& name : kestrel.Captures())
            found = std::max(found, {std::stoi(name), name});
        return found;
    };
    for (const auto& c : cases) {
        pointer.MoveInLayout(c.X, c.Y, LAYOUT_WIDTH, LAYOUT_HEIGHT);
        const int before = newest().first;
        std::string name;
        EXPECT_TRUE(TestSupport::WaitUntil(
            [&] {
                name = newest().second;  // N-hhmmss-x-y.bmp
                return newest().first > before && name.substr(name.find('-') + 8) == c.Place;
            },
            15s))
            << "the pointer at " << c.X << "," << c.Y << " of the layout: " << name << "\n"
            << kestrel.Process().Stderr();
        if (&c == &cases[0]) {
            EXPECT_GE(Psnr(kestrel.Capture(name), busy), 50.0) << name;
        }
    }
}

// labwc repeats a held key's action unless it runs on release, as the README's line says.
TEST(Labwc, TheReadmesCtrlFHeldCapturesOnceAndTappedOnceMore) {
    SessionKestrel kestrel;
    ASSERT_TRUE(ActionOffered()) << kestrel.Process().Stderr();
    ASSERT_EQ(Shell("wtype -M ctrl -P f -s 1500 -p f -m ctrl"), 0);
    ASSERT_TRUE(kestrel.WaitForCaptures(1)) << kestrel.Process().Stderr();
    ASSERT_EQ(Shell("wtype -M ctrl f -m ctrl"), 0);
    ASSERT_TRUE(kestrel.WaitForCaptures(2)) << kestrel.Process().Stderr();
    // The tap's capture came after any the hold could have made.
    EXPECT_EQ(kestrel.Captures().size(), 2u);
}

}  // namespace
