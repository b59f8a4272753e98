// A file in memory only, for pixels shared with another process: the X server's
// shared-memory segment, a compositor's wl_shm buffers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Platform::Posix {

struct MemoryFile {
    int Fd = -1;
    std::uint8_t* Memory = nullptr;  // mapped for reading and writing, if asked
    std::size_t Size = 0;
};

// A new memory file of `size` bytes, all zeros, mapped when `map` says so. 0, or the errno
// with nothing left open. Sizing the file counts against a file-size limit: past it the
// call fails instead of the signal ending the program.
int MakeMemoryFile(const char* name, std::size_t size, bool map, MemoryFile& made);

}  // namespace Platform::Posix
