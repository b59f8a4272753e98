// The task bar of an X11 desktop: a window asks the window manager through the EWMH state
// _NET_WM_STATE_SKIP_TASKBAR (and _SKIP_PAGER) to be left out of it.
#pragma once

#include "core/seam/TaskBar.h"
#include "platform/x11/X11Connection.h"

namespace Platform::X11 {

class X11TaskBar final : public Seam::TaskBar {
  public:
    explicit X11TaskBar(const X11Connection& connection) : x_(connection) {}

    // `window` is the X window id. Before the window is mapped the request is its state
    // property; once managed, a message to the window manager.
    void KeepOffTaskBar(std::uintptr_t window) override;

  private:
    X11Connection x_;
};

}  // namespace Platform::X11
