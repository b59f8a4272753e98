#include "platform/posix/PosixEndSignals.h"

#include "platform/posix/PosixErrors.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace Platform::Posix {

namespace {

int writeEnd = -1;

void OnEndSignal(int) {
    const int savedErrno = errno;
    // A full pipe already says enough; the write must never block a handler.
    [[maybe_unused]] const ssize_t written = write(writeEnd, "x", 1);
    errno = savedErrno;
}

}  // namespace

KestrelMain::Result<int> CatchEndSignals() {
    static int readEnd = -1;
    if (readEnd >= 0)
        return readEnd;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return KestrelMain::Failure{"Cannot watch for the end signals", {}, ErrnoText(errno)};
    readEnd = ends[0];
    writeEnd = ends[1];

    struct sigaction request = {};
    request.sa_handler = OnEndSignal;
    request.sa_flags = SA_RESTART;
    sigemptyset(&request.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction before = {};
        sigaction(signal, nullptr, &before);
        if (before.sa_handler != SIG_IGN)
            sigaction(signal, &request, nullptr);
    }
    return readEnd;
}

}  // namespace Platform::Posix
