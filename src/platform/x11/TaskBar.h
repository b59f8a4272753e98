// Keeping a window out of the desktop's task bar, for windows that must not have a
// button there.
#pragma once

#include <QtGui/qwindowdefs.h>

namespace Platform {

// Asks the window manager to leave the top-level window out of the task bar and the
// pager. Call it right before each show: a window manager drops the request when the
// window is hidden. Nothing happens outside an X11 session.
void KeepOffTaskBar(WId window);

}  // namespace Platform
