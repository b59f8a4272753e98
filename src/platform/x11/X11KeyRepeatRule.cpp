#include "platform/x11/X11KeyRepeatRule.h"

namespace Platform::X11 {

void X11KeyRepeatRule::Release(std::uint32_t time) {
    held_ = false;
    justReleased_ = true;
    releaseTime_ = time;
}

bool X11KeyRepeatRule::Press(std::uint32_t time) {
    const bool pairedRepeat = repeatsArePairs_ && justReleased_ && time == releaseTime_;
    const bool repeat = held_ || pairedRepeat;
    held_ = true;
    justReleased_ = false;
    return !repeat;
}

}  // namespace Platform::X11
