// The hot keys' rules for telling a new press from the repeats of a held key, side by side:
// X11's on the event orders a server produces with and without XKB's detectable
// auto-repeat, the portal's on its Activated and Deactivated, Windows' on hot-key messages
// that repeat (Wine) and the release its hook sees.
#include "platform/portal/PortalShortcutHold.h"
#include "platform/win32/Win32KeyHold.h"
#include "platform/x11/X11KeyHold.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

namespace {

struct KeyEvent {
    bool Press;
    std::uint32_t Time;
};
constexpr KeyEvent P(std::uint32_t time) {
    return {true, time};
}
constexpr KeyEvent R(std::uint32_t time) {
    return {false, time};
}

// How many of the events a rule takes as new presses.
template <typename Press, typename Release>
int NewPresses(const std::vector<KeyEvent>& events, Press press, Release release) {
    int fresh = 0;
    for (const KeyEvent& e : events) {
        if (!e.Press)
            release(e.Time);
        else if (press(e.Time))
            ++fresh;
    }
    return fresh;
}

struct RuleCase {
    const char* Name;
    bool RepeatsArePairs;
    std::vector<KeyEvent> Events;
    int NewPresses;
};

TEST(KeyHold, X11CountsEachHoldOnce) {
    const RuleCase cases[] = {
        {"paired repeats: one hold", true, {P(100), R(760), P(760), R(800), P(800), R(850)}, 1},
        {"paired repeats: a real release, then a new press",
         true,
         {P(100), R(760), P(760), R(900), P(901), R(950)},
         2},
        {"paired repeats: quick taps a millisecond apart",
         true,
         {P(10), R(10), P(11), R(11), P(12), R(12)},
         3},
        {"paired repeats: a tap right after a hold",
         true,
         {P(100), R(760), P(760), R(780), P(1000), R(1000)},
         2},
        {"paired repeats: a new press on the release's time stamp is taken as a repeat",
         true,
         {P(100), R(200), P(200), R(300)},
         1},
        {"detectable: one hold", false, {P(100), P(760), P(800), P(840), R(850)}, 1},
        {"detectable: a hold, then a new press",
         false,
         {P(100), P(760), R(800), P(900), R(950)},
         2},
        // With XKB hiding the pairs, a release and a press sharing a time stamp are real.
        {"detectable: two presses on one time stamp", false, {P(100), R(200), P(200), R(300)}, 2},
    };
    for (const RuleCase& c : cases) {
        Platform::X11::X11KeyHold hold;
        hold.SetRepeatsArePairs(c.RepeatsArePairs);
        const auto press = [&](std::uint32_t t) { return hold.Press(t); };
        const auto release = [&](std::uint32_t t) { hold.Release(t); };
        EXPECT_EQ(NewPresses(c.Events, press, release), c.NewPresses) << c.Name;
    }
}

// Activated at these milliseconds, Deactivated as a release: a held key repeats Activated,
// and a desktop that never says Deactivated ends the hold by silence.
TEST(KeyHold, PortalCountsEachHoldOnce) {
    using Platform::Portal::PortalShortcutHold;
    const RuleCase cases[] = {
        {"a held key's repeats", false, {P(0), P(600), P(640), R(680)}, 1},
        {"two presses", false, {P(0), R(100), P(200), R(300)}, 2},
        {"no Deactivated, repeats close together", false, {P(0), P(1900), P(3800)}, 1},
        {"no Deactivated, then silence", false, {P(0), P(2000)}, 2},
    };
    for (const RuleCase& c : cases) {
        PortalShortcutHold hold;
        const auto press = [&](std::uint32_t t) {
            return hold.Press(PortalShortcutHold::Clock::time_point{std::chrono::milliseconds(t)});
        };
        const auto release = [&](std::uint32_t) { hold.Release(); };
        EXPECT_EQ(NewPresses(c.Events, press, release), c.NewPresses) << c.Name;
    }
}

// Hot-key messages stamped at these times, and F's release as the hook saw it. A release
// the hook cannot watch (a short press, no hook) comes right after its press.
TEST(KeyHold, WindowsCountsEachHoldOnce) {
    const RuleCase cases[] = {
        {"a held key's repeats", false, {P(100), P(600), P(633), P(666), R(700)}, 1},
        {"repeats queued before the release, taken after it",
         false,
         {P(100), R(700), P(600), P(666), P(900)},
         2},
        {"two short presses", false, {P(100), R(100), P(300), R(300)}, 2},
        {"no release seen: a silence ends the hold", false, {P(100), P(1000), P(3001)}, 2},
        {"no release seen, repeats close together", false, {P(100), P(2000), P(3900)}, 1},
        {"times that wrap around", false, {P(0xFFFFFF00u), P(0x40), R(0x80), P(0x100)}, 2},
    };
    for (const RuleCase& c : cases) {
        Platform::Win32::Win32KeyHold hold;
        const auto press = [&](std::uint32_t t) { return hold.Press(t); };
        const auto release = [&](std::uint32_t t) { hold.Release(t); };
        EXPECT_EQ(NewPresses(c.Events, press, release), c.NewPresses) << c.Name;
    }
}

}  // namespace
