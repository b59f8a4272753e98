// The hot key's presses that came and were not yet taken: a backend adds one for each new
// press its hold rule finds, and the idle loop takes them out one at a time.
#pragma once

#include <limits>

namespace KestrelMain {

class PressQueue {
  public:
    void Add() {
        if (count_ < std::numeric_limits<int>::max())
            ++count_;
    }
    bool Pending() const { return count_ > 0; }
    // False when there was none.
    bool Take() {
        if (count_ == 0)
            return false;
        --count_;
        return true;
    }
    void Clear() { count_ = 0; }

  private:
    int count_ = 0;
};

}  // namespace KestrelMain
