#include "platform/posix/PosixErrors.h"

#include <cstring>

namespace Platform::Posix {

std::string ErrnoText(int errnoValue) {
    char buffer[256];
    // GNU strerror_r may return a static string instead of filling the buffer.
    return strerror_r(errnoValue, buffer, sizeof buffer);
}

}  // namespace Platform::Posix
