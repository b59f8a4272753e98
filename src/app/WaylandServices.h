// The Wayland part of the composition root: the compositor's connection, the first of the
// screen sources that works on this desktop (or the one asked for), and a hot key for it.
#pragma once

#include "core/Failure.h"
#include "core/seam/Services.h"
#include "platform/qt/QtErrorReport.h"

#include <string>

namespace App {

// Installs the compositor's screen source and a hot key for it in `services`; without a
// compositor, nothing, with why in `whyNone`. `noAction` says why the capture action is not
// offered on the session bus, if it is not: a key bound to it would run nothing.
void InstallWaylandBackend(const KestrelMain::Status& noAction,
                           Platform::QtToolkit::QtErrorReport& errors, Seam::Services& services,
                           std::string& whyNone);

}  // namespace App
