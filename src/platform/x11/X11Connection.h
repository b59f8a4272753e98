// Inside src/platform only: the X connection that Qt opened, shared by the hot key,
// the pointer and the grab so that Kestrel holds one connection to the server.
#pragma once

#include <xcb/xcb.h>

namespace Platform {

struct X11Handles {
    xcb_connection_t* Connection = nullptr;
    xcb_screen_t* Screen = nullptr;  // Qt's default screen
};

// Connection and screen, or null members when Qt does not run on xcb.
X11Handles X11();

}  // namespace Platform
