// Kestrel's own connection to the Wayland compositor, apart from Qt's (whose thread and
// queue are never touched): the globals the backend uses and the outputs with where they
// lie. Events are read only while Kestrel waits for an answer, always with a deadline, so a
// compositor that stops answering makes a capture fail rather than hang.
#pragma once

#include "core/Failure.h"
#include "core/seam/Screen.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct ext_image_copy_capture_manager_v1;
struct ext_output_image_capture_source_manager_v1;
struct kde_output_order_v1;
struct wl_compositor;
struct wl_display;
struct wl_output;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct zwlr_layer_shell_v1;
struct zwlr_screencopy_manager_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

namespace Platform::Wayland {

// One output as the compositor describes it. Its mode is in device pixels in the panel's
// own orientation; its logical rectangle is where it lies in the desktop, upright. Outputs
// come and go while Kestrel runs: one is known by its registry name across a wait, as the
// output itself is gone once the compositor removed it.
struct WaylandOutput {
    std::uint32_t Name = 0;  // the registry's
    wl_output* Output = nullptr;
    bool Described = false;  // the compositor has said all of it at least once
    zxdg_output_v1* Xdg = nullptr;
    std::string Connector;  // "HEADLESS-1", "DP-2"
    int ModeWidth = 0;
    int ModeHeight = 0;
    int Scale = 1;
    int Transform = 0;  // wl_output.transform
    int LogicalX = 0;
    int LogicalY = 0;

    // Rotated a quarter turn either way: the upright picture is the mode turned on its side.
    bool Sideways() const { return Transform % 2 == 1; }
    // The upright picture's size in device pixels.
    int Width() const { return Sideways() ? ModeHeight : ModeWidth; }
    int Height() const { return Sideways() ? ModeWidth : ModeHeight; }
};

class WaylandConnection {
  public:
    // Connects to the compositor of WAYLAND_DISPLAY and learns its globals and outputs.
    static KestrelMain::Result<std::unique_ptr<WaylandConnection>> Open();
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    // Reads and handles events until done() says so, or fails naming what it waited for
    // when the deadline passes or the connection breaks.
    KestrelMain::Status DispatchUntil(const std::function<bool()>& done,
                                      std::chrono::milliseconds deadline, const char* waitingFor);

    // A round trip: everything the compositor sent before it is handled, outputs that came
    // or went included; one more where an output that came has not yet said what it is.
    KestrelMain::Status Sync();

    // The first output of the compositor's own order (KDE's kde-output-order-v1), else the
    // output at logical 0,0, else the first; null when there is none. Only described
    // outputs count. Valid until the next wait, which may remove it.
    const WaylandOutput* Primary() const;
    const std::vector<std::unique_ptr<WaylandOutput>>& Outputs() const { return outputs_; }
    // The rectangle all described outputs cover, in the coordinates of the outputs' own
    // rectangles; none without an output.
    std::optional<Seam::ScreenRect> Desktop() const;
    // The output of this registry name, null once it is gone.
    const WaylandOutput* OutputNamed(std::uint32_t name) const;

    wl_display* Display() const { return display_; }
    wl_compositor* Compositor() const { return compositor_; }
    wl_shm* Shm() const { return shm_; }
    wl_seat* Seat() const { return seat_; }
    bool SeatHasPointer() const { return seatHasPointer_; }
    zwlr_screencopy_manager_v1* Screencopy() const { return screencopy_; }
    zwlr_layer_shell_v1* LayerShell() const { return layerShell_; }
    // ext-image-copy-capture: both globals or none, as one is no use without the other.
    bool OffersImageCopy() const { return imageCopy_ != nullptr && outputSources_ != nullptr; }
    ext_image_copy_capture_manager_v1* ImageCopy() const { return imageCopy_; }
    ext_output_image_capture_source_manager_v1* OutputSources() const { return outputSources_; }

  private:
    WaylandConnection() = default;
    void AddGlobal(std::uint32_t name, const char* interface, std::uint32_t version);
    void RemoveGlobal(std::uint32_t name);
    void WatchOutput(WaylandOutput& output);
    friend struct RegistryEvents;
    friend struct OutputEvents;
    friend struct SeatEvents;
    friend struct OrderEvents;
    KestrelMain::Status RoundTrip();

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    wl_seat* seat_ = nullptr;
    bool seatHasPointer_ = false;
    zxdg_output_manager_v1* xdgOutputs_ = nullptr;
    zwlr_screencopy_manager_v1* screencopy_ = nullptr;
    zwlr_layer_shell_v1* layerShell_ = nullptr;
    ext_image_copy_capture_manager_v1* imageCopy_ = nullptr;
    ext_output_image_capture_source_manager_v1* outputSources_ = nullptr;
    std::vector<std::unique_ptr<WaylandOutput>> outputs_;
    kde_output_order_v1* order_ = nullptr;
    std::vector<std::string> orderComing_;  // the list being announced
    std::vector<std::string> orderNames_;   // the last complete one, by connector name
};

// A failure of the compositor's: what failed and why.
KestrelMain::Failure CompositorFailure(std::string what, std::string reason);

}  // namespace Platform::Wayland
