// Whether Kestrel runs in an X11 session it can reach. Elsewhere (Wayland, offscreen)
// the hot key, the pointer and the grab are skipped and report why.
#pragma once

#include "platform/Failure.h"

namespace Platform {

bool X11Available();
Failure NoX11Failure(const QString& what);

}  // namespace Platform
