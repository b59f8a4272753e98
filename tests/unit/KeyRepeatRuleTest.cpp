// The hot key's rule for telling a new press from the auto-repeat of a held key, on the
// event orders a server produces with and without XKB's detectable auto-repeat.
#include "platform/x11/X11KeyRepeatRule.h"

#include <gtest/gtest.h>

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

struct RuleCase {
    const char* Name;
    bool RepeatsArePairs;
    std::vector<KeyEvent> Events;
    int NewPresses;
};

TEST(KeyRepeatRule, CountsEachHoldOnce) {
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
        Platform::X11::X11KeyRepeatRule rule;
        rule.SetRepeatsArePairs(c.RepeatsArePairs);
        int newPresses = 0;
        for (const KeyEvent& e : c.Events) {
            if (!e.Press) {
                rule.Release(e.Time);
            } else if (rule.Press(e.Time)) {
                ++newPresses;
            }
        }
        EXPECT_EQ(newPresses, c.NewPresses) << c.Name;
    }
}

}  // namespace
