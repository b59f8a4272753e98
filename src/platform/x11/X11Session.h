// Outside an X11 session Kestrel can reach (Wayland, offscreen) the hot key, the pointer
// and the grab are skipped; this is the failure they report, naming the platform Qt runs.
#pragma once

#include "platform/qt/Failure.h"

namespace Platform {

Failure NoX11Failure(const QString& what);

}  // namespace Platform
