// The desktop's task bar, as far as a window can ask about it: a window that must have no
// button there (the About window) asks to be left out. Where the desktop offers no such
// request, or decides for itself, nothing is installed and nothing is asked.
#pragma once

#include <cstdint>

namespace Seam {

class TaskBar {
  public:
    // Asks that the top-level window, as the toolkit's native handle, be left out of the
    // task bar and the pager. Asked right before each show: window managers forget it when
    // the window is hidden.
    virtual void KeepOffTaskBar(std::uintptr_t window) = 0;

  protected:
    ~TaskBar() = default;
};

}  // namespace Seam
