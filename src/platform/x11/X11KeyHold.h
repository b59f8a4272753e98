// Tells a new press of the hot key from the server's auto-repeat of a held one, fed with
// the key's events in the order they arrive. Where XKB's detectable auto-repeat is on, a
// held key sends presses only and one release at the end. Where it is not, every repeat is
// a release immediately followed by a press with the same time stamp; a hand cannot let go
// and press again within the same millisecond, so such a pair is always taken as a repeat.
#pragma once

#include <cstdint>

namespace Platform::X11 {

class X11KeyHold {
  public:
    // True when repeats come as a release and a press (detectable auto-repeat is off).
    void SetRepeatsArePairs(bool pairs) { repeatsArePairs_ = pairs; }

    // True when this press starts a new hold.
    bool Press(std::uint32_t time) {
        const bool pairedRepeat = repeatsArePairs_ && justReleased_ && time == releaseTime_;
        const bool repeat = held_ || pairedRepeat;
        held_ = true;
        justReleased_ = false;
        return !repeat;
    }

    void Release(std::uint32_t time) {
        held_ = false;
        justReleased_ = true;
        releaseTime_ = time;
    }

  private:
    bool repeatsArePairs_ = true;
    bool held_ = false;
    bool justReleased_ = false;
    std::uint32_t releaseTime_ = 0;
};

}  // namespace Platform::X11
