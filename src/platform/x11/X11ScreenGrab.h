// The scaled screen grab on X11: a rectangle of the root window read in one streaming pass
// straight into a bitmap of the output size, never holding a full-size copy of the screen.
// True-colour screens are reduced (or enlarged) by an exact area average; on palette
// screens the pixel indices are sampled nearest-neighbour and the colormap becomes the
// picture's palette. Kept between grabs: the shared-memory segment (created at the first
// grab, reused after), the screen's pixel layout and the weights for the last geometry.
#pragma once

#include "core/seam/ScreenGrab.h"
#include "platform/x11/X11Connection.h"

#include <cstddef>
#include <memory>

namespace Platform::X11 {

struct X11GrabOptions {
    // Read through one MIT-SHM segment when the server is local and offers it; otherwise,
    // or when this is false, through plain GetImage requests.
    bool UseSharedMemory = true;
    // Bytes of screen rows read per request; the segment holds two such strips, so the
    // server fills one while the other is folded into the output.
    std::size_t StripBytes = std::size_t{1} << 20;
};

// One per connection; not thread-safe.
class X11ScreenGrab final : public Seam::ScreenGrab {
  public:
    explicit X11ScreenGrab(const X11Connection& connection, X11GrabOptions options = {});
    ~X11ScreenGrab();
    X11ScreenGrab(const X11ScreenGrab&) = delete;
    X11ScreenGrab& operator=(const X11ScreenGrab&) = delete;

    // The server answers at once: ready from the start.
    KestrelMain::Status Start() override;
    std::optional<std::string> NotReadyBecause() override;

    // `area` in root-window coordinates, inside the root window. Fails for a size that is
    // not positive or cannot be allocated, and when the server refuses the read.
    KestrelMain::Result<KestrelMain::Picture> GrabScaled(const Seam::ScreenRect& area,
                                                         int outputWidth,
                                                         int outputHeight) override;

    // Whether the last grab read through shared memory.
    bool UsedSharedMemory() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace Platform::X11
