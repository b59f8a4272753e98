// One wl_shm buffer in a memory file of its own: the grab's copy of a frame, the pointer
// overlay's blank picture. Released with the object; moved, never copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

struct wl_buffer;
struct wl_shm;

namespace Platform::Wayland {

class WaylandShmBuffer {
  public:
    WaylandShmBuffer() = default;
    ~WaylandShmBuffer() { Drop(); }
    WaylandShmBuffer(WaylandShmBuffer&& other) noexcept { *this = std::move(other); }
    WaylandShmBuffer& operator=(WaylandShmBuffer&& other) noexcept;
    WaylandShmBuffer(const WaylandShmBuffer&) = delete;
    WaylandShmBuffer& operator=(const WaylandShmBuffer&) = delete;

    // Makes this a buffer of `height` rows of `stride` bytes in `format`, all zeros (a blank
    // ARGB picture is fully transparent), its pixels mapped for reading when `readable`.
    // Empty when made, else why not; the buffer before is gone either way.
    std::string Make(wl_shm* shm, int width, int height, int stride, std::uint32_t format,
                     bool readable);
    void Drop();

    wl_buffer* Buffer() const { return buffer_; }
    // Null unless made readable.
    const std::uint8_t* Pixels() const { return pixels_; }

  private:
    wl_buffer* buffer_ = nullptr;
    std::uint8_t* pixels_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace Platform::Wayland
