#include "platform/posix/PosixRead.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace Platform::Posix {

ssize_t ReadBefore(int fd, void* into, std::size_t size,
                   std::chrono::steady_clock::time_point end) {
    for (;;) {
        // Rounded up, so that a wait of less than a millisecond is still a wait.
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            errno = ETIMEDOUT;
            return -1;
        }
        pollfd wait{fd, POLLIN, 0};
        const int ready = poll(&wait, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return -1;
        if (ready == 0)
            continue;  // the deadline is checked again above
        const ssize_t n = read(fd, into, size);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        return n;
    }
}

}  // namespace Platform::Posix
