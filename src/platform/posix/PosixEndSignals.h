// SIGTERM, SIGINT and SIGHUP, which would kill the process where it stands, turned into a
// request that the event loop picks up: the handler only writes a byte into a pipe, and the
// program ends from its own dispatch, between two handlers, the way its Quit button ends
// it. A signal that the starting process left ignored (nohup's SIGHUP) stays ignored.
#pragma once

#include "core/Failure.h"

namespace Platform::Posix {

// Installs the handlers (once; later calls answer the same pipe) and returns the pipe's
// read end, which becomes readable when one of the signals arrives and stays so.
KestrelMain::Result<int> CatchEndSignals();

}  // namespace Platform::Posix
