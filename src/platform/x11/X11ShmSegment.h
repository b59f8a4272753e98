// The MIT-SHM segment the X server writes screen rows into, kept between grabs: a memory
// file handed over (MIT-SHM 1.2), else a System V segment. Only for a server on this machine.
#pragma once

#include "core/Failure.h"

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>

namespace Platform::X11 {

class X11ShmSegment {
  public:
    explicit X11ShmSegment(xcb_connection_t* connection) : connection_(connection) {}
    ~X11ShmSegment();
    X11ShmSegment(const X11ShmSegment&) = delete;
    X11ShmSegment& operator=(const X11ShmSegment&) = delete;

    // Whether the server takes shared memory from Kestrel: asked the first time only.
    bool Usable();
    // A segment of `size` bytes in place of the one before, attached on the server.
    KestrelMain::Status Create(std::size_t size);
    void Destroy();
    // Shared memory given up for good (the server refused it): plain reads from now on.
    void GiveUp();

    xcb_shm_seg_t Id() const { return id_; }
    std::uint8_t* Memory() const { return memory_; }
    std::size_t Size() const { return size_; }

  private:
    enum class Probe { Unprobed, Usable, Unusable };

    xcb_connection_t* connection_;
    Probe probe_ = Probe::Unprobed;
    bool passDescriptor_ = false;  // MIT-SHM 1.2: the segment is a memfd handed over
    xcb_shm_seg_t id_ = 0;
    std::uint8_t* memory_ = nullptr;
    std::size_t size_ = 0;
    bool systemV_ = false;
};

}  // namespace Platform::X11
