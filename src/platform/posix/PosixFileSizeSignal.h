// Over its file-size limit (RLIMIT_FSIZE) a process is killed by SIGXFSZ the moment a
// write or a resize crosses it. Kestrel ignores the signal instead, so the call fails
// with EFBIG and the failure is reported like a full disk. Done when the program starts,
// and again by every writer that depends on it; calls after the first do nothing.
#pragma once

namespace Platform::Posix {

void IgnoreFileSizeSignal();

}  // namespace Platform::Posix
