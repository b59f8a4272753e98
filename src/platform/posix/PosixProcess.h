#pragma once

namespace Platform::Posix {

// Ends the process at once: no window handler, no further event and no destructor runs.
// Everything worth keeping is already on disk (settings are written through, captures
// renamed into place), and the X server drops the hot-key grab with the connection.
[[noreturn]] void EndProgramNow();

}  // namespace Platform::Posix
