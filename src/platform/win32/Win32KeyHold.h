// Tells a new press of Ctrl+F from the repeats of a held one where the system sends the
// hot key's auto-repeats although it was asked not to (Wine). A press starts a hold, which
// ends when F goes up (seen by a keyboard hook while the hold lasts) or, should that release
// never be seen, after a silence longer than any repeat's. The hot-key messages stamped
// between a press and F's release are the hold's repeats, even those taken after it ended.
// Times are the messages' own, in milliseconds; they wrap around after 49 days, so their
// order is that of their difference.
#pragma once

#include <cstdint>

namespace Platform::Win32 {

class Win32KeyHold {
  public:
    // Longer than any keyboard waits before it repeats a held key (at most 1 s on Windows)
    // or between repeats.
    static constexpr std::uint32_t LONGEST_REPEAT_GAP_MS = 2000;

    // True when the hot-key message stamped `time` starts a new hold; the hold then lasts
    // until Release.
    bool Press(std::uint32_t time) {
        if (held_ && !NotAfter(time, lastSeen_ + LONGEST_REPEAT_GAP_MS))
            Release(lastSeen_);
        const bool repeat = held_ || (NotAfter(pressedAt_, time) && NotAfter(time, releasedAt_));
        lastSeen_ = time;
        if (repeat)
            return false;
        held_ = true;
        pressedAt_ = time;
        releasedAt_ = time;
        return true;
    }

    // F went up at `time`, or its release cannot be watched: no hold lasts.
    void Release(std::uint32_t time) {
        if (!held_)
            return;
        held_ = false;
        releasedAt_ = time;
    }

    bool Held() const { return held_; }

  private:
    static bool NotAfter(std::uint32_t time, std::uint32_t limit) {
        return static_cast<std::int32_t>(time - limit) <= 0;
    }

    bool held_ = false;
    std::uint32_t pressedAt_ = 0;  // times of the last new press and of F's release after it
    std::uint32_t releasedAt_ = 0;
    std::uint32_t lastSeen_ = 0;  // time of the last press or repeat
};

}  // namespace Platform::Win32
