// Where the pointer is, in a Wayland session, where no client may simply ask. Where the
// compositor offers ext-image-copy-capture, a cursor session on every output says where the
// pointer is on the one it is over. Else, or where none says so, a fully transparent overlay
// surface of the layer shell is put on every output for an instant, and the compositor says
// where the pointer entered it. Nothing else changes: no cursor image is set or hidden, the
// surfaces take no keyboard focus, and they go at once.
#pragma once

#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandShmBuffer.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

struct wl_buffer;

namespace Platform::Wayland {

// An output and a place on it, in its logical coordinates or, where `InDevicePixels`, in its
// upright device pixels; the output valid until the next wait on the connection.
struct PointerOnOutput {
    const WaylandOutput* Output = nullptr;
    double X = 0;
    double Y = 0;
    bool InDevicePixels = false;
};

class WaylandPointerProbe {
  public:
    explicit WaylandPointerProbe(WaylandConnection& connection) : connection_(connection) {}
    ~WaylandPointerProbe();
    WaylandPointerProbe(const WaylandPointerProbe&) = delete;
    WaylandPointerProbe& operator=(const WaylandPointerProbe&) = delete;

    // Why the compositor cannot be asked at all, or nothing when it can.
    std::optional<std::string> Unavailable() const;

    // The pointer, or nothing with why it is not known this time (over no output, say). A
    // failure is a broken connection.
    KestrelMain::Result<std::optional<PointerOnOutput>> Probe(std::string& whyUnknown);

  private:
    // The place a cursor session gives, or nothing where none does.
    KestrelMain::Result<std::optional<PointerOnOutput>> AskCursorSessions();
    KestrelMain::Result<std::optional<PointerOnOutput>> AskOverlays(std::string& whyUnknown);

    // A transparent picture of one logical size, kept between probes.
    struct Blank {
        int Width = 0;
        int Height = 0;
        WaylandShmBuffer Buffer;
        bool Used = false;  // by the probe under way
    };
    KestrelMain::Result<wl_buffer*> BlankOf(int width, int height);

    WaylandConnection& connection_;
    std::vector<Blank> blanks_;
};

}  // namespace Platform::Wayland
