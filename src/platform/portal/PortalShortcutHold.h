// One press for each time the key goes down, however often a held key repeats: the
// desktop says Activated again and again while the key is held and Deactivated once as it
// comes up. A Deactivated that never comes (a desktop that sends none) ends the hold after
// a silence.
#pragma once

#include <chrono>

namespace Platform::Portal {

class PortalShortcutHold {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto SILENCE = std::chrono::seconds(2);

    // True when this Activated, at `now`, starts a new hold.
    bool Press(Clock::time_point now) {
        const bool fresh = !held_ || now - last_ >= SILENCE;
        held_ = true;
        last_ = now;
        return fresh;
    }

    // Deactivated.
    void Release() { held_ = false; }

  private:
    bool held_ = false;
    Clock::time_point last_{};
};

}  // namespace Platform::Portal
