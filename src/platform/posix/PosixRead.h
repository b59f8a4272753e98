// Reading a pipe or a socket without waiting for ever: a desktop that stops answering
// halfway must not hold a capture or a hot key's set-up up for good.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>

namespace Platform::Posix {

// Reads up to `size` bytes from `fd`, waiting at most until `end` for some to come. Answers
// how many were read (0 at the end of the stream), or -1 with errno set: ETIMEDOUT when
// nothing came in time. Interrupted waits and reads are resumed.
ssize_t ReadBefore(int fd, void* into, std::size_t size, std::chrono::steady_clock::time_point end);

}  // namespace Platform::Posix
