#include "platform/wayland/WaylandPointerProbe.h"

#include "ext-image-capture-source-v1-client-protocol.h"
#include "ext-image-copy-capture-v1-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <memory>

namespace Platform::Wayland {

namespace {

// The compositor answers a mapped overlay at once (under a millisecond on sway, some 100 ms
// on KWin); a pointer over no output never enters.
constexpr auto ENTER_DEADLINE = std::chrono::milliseconds(500);
constexpr auto CONFIGURE_DEADLINE = std::chrono::seconds(2);

struct Overlay {
    std::uint32_t OutputName = 0;  // the registry's: the output may go during the probe
    bool Nudge = false;            // the pixel mapped last, which takes no input (see Probe)
    wl_surface* Surface = nullptr;
    zwlr_layer_surface_v1* Layer = nullptr;
    bool Configured = false;
    bool Closed = false;
    std::uint32_t Serial = 0;
    int Width = 0;
    int Height = 0;
};

struct Probing {
    std::vector<std::unique_ptr<Overlay>> Overlays;
    std::optional<std::uint32_t> EnteredOn;  // the output's registry name
    double X = 0;
    double Y = 0;
};

struct LayerEvents {
    static void Configure(void* data, zwlr_layer_surface_v1*, std::uint32_t serial,
                          std::uint32_t width, std::uint32_t height) {
        auto& overlay = *static_cast<Overlay*>(data);
        overlay.Configured = true;
        overlay.Serial = serial;
        overlay.Width = static_cast<int>(width);
        overlay.Height = static_cast<int>(height);
    }
    static void Closed(void* data, zwlr_layer_surface_v1*) {
        static_cast<Overlay*>(data)->Closed = true;
    }
    static constexpr zwlr_layer_surface_v1_listener LISTENER{Configure, Closed};
};

struct PointerEvents {
    static void Enter(void* data, wl_pointer*, std::uint32_t, wl_surface* surface, wl_fixed_t x,
                      wl_fixed_t y) {
        auto& probing = *static_cast<Probing*>(data);
        for (const auto& overlay : probing.Overlays) {
            if (overlay->Surface == surface && !overlay->Nudge) {
                probing.EnteredOn = overlay->OutputName;
                probing.X = wl_fixed_to_double(x);
                probing.Y = wl_fixed_to_double(y);
            }
        }
    }
    static void Leave(void*, wl_pointer*, std::uint32_t, wl_surface*) {}
    static void Motion(void*, wl_pointer*, std::uint32_t, wl_fixed_t, wl_fixed_t) {}
    static void Button(void*, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t,
                       std::uint32_t) {}
    static void Axis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
    static void Frame(void*, wl_pointer*) {}
    static void AxisSource(void*, wl_pointer*, std::uint32_t) {}
    static void AxisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
    static void AxisDiscrete(void*, wl_pointer*, std::uint32_t, std::int32_t) {}
    static void AxisValue120(void*, wl_pointer*, std::uint32_t, std::int32_t) {}

    // Every event of the seat's bound version answered; the ones later headers add (they
    // come only at a later version) stay empty.
    static constexpr wl_pointer_listener LISTENER = [] {
        wl_pointer_listener events{};
        events.enter = Enter;
        events.leave = Leave;
        events.motion = Motion;
        events.button = Button;
        events.axis = Axis;
        events.frame = Frame;
        events.axis_source = AxisSource;
        events.axis_stop = AxisStop;
        events.axis_discrete = AxisDiscrete;
        events.axis_value120 = AxisValue120;
        return events;
    }();
};

// One output's cursor session. wlroots says where the cursor is only while it is drawn as a
// hardware cursor; once a client has captured with the cursor painted in, it may stay a
// software one, and the session then sends a stale position without an enter. A position
// counts only after an enter, then.
struct CursorWatch {
    std::uint32_t OutputName = 0;
    ext_image_capture_source_v1* Source = nullptr;
    ext_image_copy_capture_cursor_session_v1* Session = nullptr;
    bool Entered = false;
    std::optional<std::pair<int, int>> Position;  // the hotspot, in upright device pixels
};

struct CursorEvents {
    static CursorWatch& Of(void* data) { return *static_cast<CursorWatch*>(data); }
    static void Enter(void* data, ext_image_copy_capture_cursor_session_v1*) {
        Of(data).Entered = true;
    }
    static void Leave(void* data, ext_image_copy_capture_cursor_session_v1*) {
        Of(data).Entered = false;
        Of(data).Position.reset();
    }
    static void Position(void* data, ext_image_copy_capture_cursor_session_v1*, std::int32_t x,
                         std::int32_t y) {
        if (Of(data).Entered)
            Of(data).Position = std::pair<int, int>(x, y);
    }
    static void Hotspot(void*, ext_image_copy_capture_cursor_session_v1*, std::int32_t,
                        std::int32_t) {}
    static constexpr ext_image_copy_capture_cursor_session_v1_listener LISTENER{Enter, Leave,
                                                                                Position, Hotspot};
};

}  // namespace

WaylandPointerProbe::~WaylandPointerProbe() = default;

std::optional<std::string> WaylandPointerProbe::Unavailable() const {
    if (connection_.LayerShell() == nullptr)
        return "the compositor offers no layer shell, the one way Kestrel knows to ask it";
    return std::nullopt;
}

KestrelMain::Result<wl_buffer*> WaylandPointerProbe::BlankOf(int width, int height) {
    for (Blank& blank : blanks_) {
        if (blank.Width == width && blank.Height == height) {
            blank.Used = true;
            return blank.Buffer.Buffer();
        }
    }
    // A new memory file reads as zeros: every pixel fully transparent.
    Blank blank{width, height, {}, true};
    const std::string why = blank.Buffer.Make(connection_.Shm(), width, height, width * 4,
                                              WL_SHM_FORMAT_ARGB8888, false);
    if (!why.empty())
        return CompositorFailure("Cannot read the pointer position", why);
    blanks_.push_back(std::move(blank));
    return blanks_.back().Buffer.Buffer();
}

KestrelMain::Result<std::optional<PointerOnOutput>> WaylandPointerProbe::Probe(
    std::string& whyUnknown) {
    if (!connection_.SeatHasPointer()) {
        whyUnknown = "the desktop has no pointer";
        return std::optional<PointerOnOutput>();
    }
    if (connection_.OffersImageCopy()) {
        auto found = AskCursorSessions();
        if (!found || *found)
            return found;
    }
    if (auto why = Unavailable()) {
        whyUnknown = *why;
        return std::optional<PointerOnOutput>();
    }
    return AskOverlays(whyUnknown);
}

// The compositor says what it knows of the cursor within the round trip that follows the
// sessions' creation.
KestrelMain::Result<std::optional<PointerOnOutput>> WaylandPointerProbe::AskCursorSessions() {
    wl_pointer* pointer = wl_seat_get_pointer(connection_.Seat());
    std::vector<std::unique_ptr<CursorWatch>> watches;
    for (const auto& output : connection_.Outputs()) {
        auto watch = std::make_unique<CursorWatch>();
        watch->OutputName = output->Name;
        watch->Source = ext_output_image_capture_source_manager_v1_create_source(
            connection_.OutputSources(), output->Output);
        watch->Session = ext_image_copy_capture_manager_v1_create_pointer_cursor_session(
            connection_.ImageCopy(), watch->Source, pointer);
        ext_image_copy_capture_cursor_session_v1_add_listener(watch->Session,
                                                              &CursorEvents::LISTENER, watch.get());
        watches.push_back(std::move(watch));
    }
    const KestrelMain::Status failed = connection_.Sync();
    std::optional<PointerOnOutput> found;
    for (const auto& watch : watches) {
        const WaylandOutput* output = connection_.OutputNamed(watch->OutputName);
        if (failed || output == nullptr || !watch->Position)
            continue;
        const auto [x, y] = *watch->Position;
        // A cursor image that reaches into a neighbour's edge enters it too, at a place
        // outside it: the output the hotspot is on wins.
        const bool inside = x >= 0 && y >= 0 && x < output->Width() && y < output->Height();
        if (!found || inside)
            found = PointerOnOutput{output, static_cast<double>(x), static_cast<double>(y), true};
        if (inside)
            break;
    }
    for (const auto& watch : watches) {
        ext_image_copy_capture_cursor_session_v1_destroy(watch->Session);
        ext_image_capture_source_v1_destroy(watch->Source);
    }
    wl_pointer_release(pointer);
    if (failed)
        return *failed;
    return found;
}

KestrelMain::Result<std::optional<PointerOnOutput>> WaylandPointerProbe::AskOverlays(
    std::string& whyUnknown) {
    Probing probing;
    wl_pointer* pointer = wl_seat_get_pointer(connection_.Seat());
    wl_pointer_add_listener(pointer, &PointerEvents::LISTENER, &probing);
    const auto add = [&](const WaylandOutput& output, std::uint32_t anchor) -> Overlay& {
        auto overlay = std::make_unique<Overlay>();
        overlay->OutputName = output.Name;
        overlay->Surface = wl_compositor_create_surface(connection_.Compositor());
        // Input goes through it to nothing: it passes no click on, and it is gone before a
        // user could click.
        overlay->Layer = zwlr_layer_shell_v1_get_layer_surface(
            connection_.LayerShell(), overlay->Surface, output.Output,
            ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "kestrel-pointer");
        zwlr_layer_surface_v1_add_listener(overlay->Layer, &LayerEvents::LISTENER, overlay.get());
        zwlr_layer_surface_v1_set_anchor(overlay->Layer, anchor);
        zwlr_layer_surface_v1_set_exclusive_zone(overlay->Layer, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(overlay->Layer, 0);
        probing.Overlays.push_back(std::move(overlay));
        return *probing.Overlays.back();
    };
    constexpr std::uint32_t whole =
        ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
        ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;
    for (const auto& output : connection_.Outputs()) wl_surface_commit(add(*output, whole).Surface);
    // sway (from 1.10) looks for the surface under a pointer that stands still when a layer
    // surface maps, but before that surface's picture is in its scene: the overlay mapped
    // last is never entered. One more surface, a pixel that takes no input and maps after
    // the overlays (the compositor takes the requests in order), makes it look again once
    // they are all there. Elsewhere it changes nothing.
    if (!connection_.Outputs().empty()) {
        Overlay& nudge = add(*connection_.Outputs().front(),
                             ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT);
        nudge.Nudge = true;
        zwlr_layer_surface_v1_set_size(nudge.Layer, 1, 1);
        wl_region* nothing = wl_compositor_create_region(connection_.Compositor());
        wl_surface_set_input_region(nudge.Surface, nothing);
        wl_region_destroy(nothing);
        wl_surface_commit(nudge.Surface);
    }

    auto configured = [&] {
        for (const auto& overlay : probing.Overlays) {
            if (!overlay->Configured && !overlay->Closed)
                return false;
        }
        return true;
    };
    for (Blank& blank : blanks_) blank.Used = false;
    // An output that goes meanwhile closes its overlay, which is then left alone.
    KestrelMain::Status failed =
        connection_.DispatchUntil(configured, CONFIGURE_DEADLINE, "the overlay's size");
    for (const auto& overlay : probing.Overlays) {
        if (failed || overlay->Closed || overlay->Width <= 0 || overlay->Height <= 0)
            continue;
        auto blank = BlankOf(overlay->Width, overlay->Height);
        if (!blank) {
            failed = blank.Error();
            break;
        }
        zwlr_layer_surface_v1_ack_configure(overlay->Layer, overlay->Serial);
        wl_surface_attach(overlay->Surface, *blank, 0, 0);
        wl_surface_commit(overlay->Surface);
    }
    bool timedOut = false;
    if (!failed) {
        // A pointer over no output enters nothing: that is an answer, not a failure.
        timedOut = connection_
                       .DispatchUntil([&] { return probing.EnteredOn.has_value(); }, ENTER_DEADLINE,
                                      "the pointer to enter")
                       .has_value();
    }
    for (const auto& overlay : probing.Overlays) {
        zwlr_layer_surface_v1_destroy(overlay->Layer);
        wl_surface_destroy(overlay->Surface);
    }
    wl_pointer_release(pointer);
    // Blanks of sizes no output has any more go: outputs change their modes over a long run.
    std::erase_if(blanks_, [](const Blank& blank) { return !blank.Used; });
    if (failed)
        return *failed;
    if (!probing.EnteredOn) {
        if (timedOut)
            whyUnknown = "the compositor did not say where the pointer is";
        return std::optional<PointerOnOutput>();
    }
    const WaylandOutput* output = connection_.OutputNamed(*probing.EnteredOn);
    if (output == nullptr) {
        whyUnknown = "the output under the pointer went away";
        return std::optional<PointerOnOutput>();
    }
    return std::optional<PointerOnOutput>(PointerOnOutput{output, probing.X, probing.Y});
}

}  // namespace Platform::Wayland
