#include "platform/posix/PosixFileSizeSignal.h"

#include <signal.h>

#include <mutex>

namespace Platform::Posix {

namespace {
// From the very start of the program, before the settings or a font cache are written:
// any write over the limit fails and is reported instead of ending the program.
[[maybe_unused]] const bool IGNORED_FROM_START = (IgnoreFileSizeSignal(), true);
}  // namespace

void IgnoreFileSizeSignal() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGXFSZ, &ignore, nullptr);
    });
}

}  // namespace Platform::Posix
