#include "platform/wayland/WaylandShmBuffer.h"

#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixMemoryFile.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <utility>

namespace Platform::Wayland {

WaylandShmBuffer& WaylandShmBuffer::operator=(WaylandShmBuffer&& other) noexcept {
    if (this != &other) {
        Drop();
        buffer_ = std::exchange(other.buffer_, nullptr);
        pixels_ = std::exchange(other.pixels_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

std::string WaylandShmBuffer::Make(wl_shm* shm, int width, int height, int stride,
                                   std::uint32_t format, bool readable) {
    Drop();
    const std::size_t size = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    Posix::MemoryFile file;
    if (const int error = Posix::MakeMemoryFile("kestrel-wl-shm", size, readable, file))
        return "no shared memory: " + Posix::ErrnoText(error);
    wl_shm_pool* pool = wl_shm_create_pool(shm, file.Fd, static_cast<std::int32_t>(size));
    buffer_ = wl_shm_pool_create_buffer(pool, 0, width, height, stride, format);
    wl_shm_pool_destroy(pool);
    close(file.Fd);
    pixels_ = file.Memory;
    size_ = size;
    return {};
}

void WaylandShmBuffer::Drop() {
    if (buffer_ != nullptr)
        wl_buffer_destroy(buffer_);
    if (pixels_ != nullptr)
        munmap(pixels_, size_);
    buffer_ = nullptr;
    pixels_ = nullptr;
    size_ = 0;
}

}  // namespace Platform::Wayland
