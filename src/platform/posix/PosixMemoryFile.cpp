#include "platform/posix/PosixMemoryFile.h"

#include "platform/posix/PosixFileSizeSignal.h"

#include <sys/mman.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

namespace Platform::Posix {

int MakeMemoryFile(const char* name, std::size_t size, bool map, MemoryFile& made) {
    IgnoreFileSizeSignal();
    const int fd = memfd_create(name, MFD_CLOEXEC);
    if (fd < 0)
        return errno;
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        const int saved = errno;
        close(fd);
        return saved;
    }
    void* memory = nullptr;
    if (map) {
        memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (memory == MAP_FAILED) {
            const int saved = errno;
            close(fd);
            return saved;
        }
    }
    made = MemoryFile{fd, static_cast<std::uint8_t*>(memory), size};
    return 0;
}

}  // namespace Platform::Posix
