#include "platform/wayland/WaylandConnection.h"

#include "platform/posix/PosixErrors.h"

#include "ext-image-capture-source-v1-client-protocol.h"
#include "ext-image-copy-capture-v1-client-protocol.h"
#include "kde-output-order-v1-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>

namespace Platform::Wayland {

using KestrelMain::Failure;
using KestrelMain::Status;

namespace {

constexpr auto ROUND_TRIP_DEADLINE = std::chrono::seconds(2);

template <class T>
T* Bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface,
        std::uint32_t offered, std::uint32_t wanted) {
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

}  // namespace

Failure CompositorFailure(std::string what, std::string reason) {
    return Failure{std::move(what), {}, std::move(reason)};
}

struct OutputEvents {
    static WaylandOutput& Of(void* data) { return *static_cast<WaylandOutput*>(data); }

    static void Geometry(void* data, wl_output*, std::int32_t, std::int32_t, std::int32_t,
                         std::int32_t, std::int32_t, const char*, const char*,
                         std::int32_t transform) {
        Of(data).Transform = transform;
    }
    static void Mode(void* data, wl_output* output, std::uint32_t flags, std::int32_t width,
                     std::int32_t height, std::int32_t) {
        if ((flags & WL_OUTPUT_MODE_CURRENT) != 0) {
            Of(data).ModeWidth = width;
            Of(data).ModeHeight = height;
            // The first version has no done event: its current mode comes last.
            if (wl_output_get_version(output) < WL_OUTPUT_DONE_SINCE_VERSION)
                Of(data).Described = true;
        }
    }
    static void Done(void* data, wl_output*) { Of(data).Described = true; }
    static void Scale(void* data, wl_output*, std::int32_t factor) { Of(data).Scale = factor; }
    static void Name(void* data, wl_output*, const char* name) { Of(data).Connector = name; }
    static void Description(void*, wl_output*, const char*) {}

    static void LogicalPosition(void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
        Of(data).LogicalX = x;
        Of(data).LogicalY = y;
    }
    static void LogicalSize(void*, zxdg_output_v1*, std::int32_t, std::int32_t) {}
    static void XdgDone(void*, zxdg_output_v1*) {}
    static void XdgName(void* data, zxdg_output_v1*, const char* name) {
        Of(data).Connector = name;
    }
    static void XdgDescription(void*, zxdg_output_v1*, const char*) {}

    static constexpr wl_output_listener OUTPUT{Geometry, Mode, Done, Scale, Name, Description};
    static constexpr zxdg_output_v1_listener XDG{LogicalPosition, LogicalSize, XdgDone, XdgName,
                                                 XdgDescription};
};

struct SeatEvents {
    static void Capabilities(void* data, wl_seat*, std::uint32_t capabilities) {
        static_cast<WaylandConnection*>(data)->seatHasPointer_ =
            (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    }
    static void Name(void*, wl_seat*, const char*) {}
    static constexpr wl_seat_listener SEAT{Capabilities, Name};
};

// The outputs in the compositor's order, a name at a time, the list complete at done.
struct OrderEvents {
    static void Output(void* data, kde_output_order_v1*, const char* name) {
        static_cast<WaylandConnection*>(data)->orderComing_.emplace_back(name);
    }
    static void Done(void* data, kde_output_order_v1*) {
        auto& connection = *static_cast<WaylandConnection*>(data);
        connection.orderNames_ = std::move(connection.orderComing_);
        connection.orderComing_.clear();
    }
    static constexpr kde_output_order_v1_listener ORDER{Output, Done};
};

struct RegistryEvents {
    static void Global(void* data, wl_registry*, std::uint32_t name, const char* interface,
                       std::uint32_t version) {
        static_cast<WaylandConnection*>(data)->AddGlobal(name, interface, version);
    }
    static void GlobalRemove(void* data, wl_registry*, std::uint32_t name) {
        static_cast<WaylandConnection*>(data)->RemoveGlobal(name);
    }
    static constexpr wl_registry_listener REGISTRY{Global, GlobalRemove};
};

KestrelMain::Result<std::unique_ptr<WaylandConnection>> WaylandConnection::Open() {
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection);
    connection->display_ = wl_display_connect(nullptr);
    if (connection->display_ == nullptr) {
        return CompositorFailure("Cannot connect to the Wayland compositor",
                                 Posix::ErrnoText(errno));
    }
    connection->registry_ = wl_display_get_registry(connection->display_);
    wl_registry_add_listener(connection->registry_, &RegistryEvents::REGISTRY, connection.get());
    // The globals first, then what the outputs and the seat say of themselves.
    for (int i = 0; i < 2; ++i) {
        if (auto failed = connection->Sync())
            return *failed;
    }
    return connection;
}

WaylandConnection::~WaylandConnection() {
    if (order_ != nullptr)
        kde_output_order_v1_destroy(order_);
    if (display_ != nullptr)
        wl_display_disconnect(display_);
}

void WaylandConnection::AddGlobal(std::uint32_t name, const char* interface,
                                  std::uint32_t version) {
    const std::string_view which = interface;
    if (which == wl_compositor_interface.name) {
        compositor_ = Bind<wl_compositor>(registry_, name, &wl_compositor_interface, version, 4);
    } else if (which == wl_shm_interface.name) {
        shm_ = Bind<wl_shm>(registry_, name, &wl_shm_interface, version, 1);
    } else if (which == wl_seat_interface.name && seat_ == nullptr) {
        seat_ = Bind<wl_seat>(registry_, name, &wl_seat_interface, version, 5);
        wl_seat_add_listener(seat_, &SeatEvents::SEAT, this);
    } else if (which == zxdg_output_manager_v1_interface.name) {
        xdgOutputs_ = Bind<zxdg_output_manager_v1>(registry_, name,
                                                   &zxdg_output_manager_v1_interface, version, 3);
        for (auto& output : outputs_) WatchOutput(*output);
    } else if (which == zwlr_screencopy_manager_v1_interface.name) {
        screencopy_ = Bind<zwlr_screencopy_manager_v1>(
            registry_, name, &zwlr_screencopy_manager_v1_interface, version, 3);
    } else if (which == ext_image_copy_capture_manager_v1_interface.name) {
        imageCopy_ = Bind<ext_image_copy_capture_manager_v1>(
            registry_, name, &ext_image_copy_capture_manager_v1_interface, version, 1);
    } else if (which == ext_output_image_capture_source_manager_v1_interface.name) {
        outputSources_ = Bind<ext_output_image_capture_source_manager_v1>(
            registry_, name, &ext_output_image_capture_source_manager_v1_interface, version, 1);
    } else if (which == zwlr_layer_shell_v1_interface.name) {
        layerShell_ =
            Bind<zwlr_layer_shell_v1>(registry_, name, &zwlr_layer_shell_v1_interface, version, 1);
    } else if (which == kde_output_order_v1_interface.name && order_ == nullptr) {
        order_ =
            Bind<kde_output_order_v1>(registry_, name, &kde_output_order_v1_interface, version, 1);
        kde_output_order_v1_add_listener(order_, &OrderEvents::ORDER, this);
    } else if (which == wl_output_interface.name) {
        auto output = std::make_unique<WaylandOutput>();
        output->Name = name;
        output->Output = Bind<wl_output>(registry_, name, &wl_output_interface, version, 4);
        wl_output_add_listener(output->Output, &OutputEvents::OUTPUT, output.get());
        WatchOutput(*output);
        outputs_.push_back(std::move(output));
    }
}

void WaylandConnection::WatchOutput(WaylandOutput& output) {
    if (xdgOutputs_ == nullptr || output.Xdg != nullptr)
        return;
    output.Xdg = zxdg_output_manager_v1_get_xdg_output(xdgOutputs_, output.Output);
    zxdg_output_v1_add_listener(output.Xdg, &OutputEvents::XDG, &output);
}

void WaylandConnection::RemoveGlobal(std::uint32_t name) {
    std::erase_if(outputs_, [&](const std::unique_ptr<WaylandOutput>& output) {
        if (output->Name != name)
            return false;
        if (output->Xdg != nullptr)
            zxdg_output_v1_destroy(output->Xdg);
        // From version 3 the compositor is told, so that it can forget the object too.
        if (wl_output_get_version(output->Output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
            wl_output_release(output->Output);
        else
            wl_output_destroy(output->Output);
        return true;
    });
}

Status WaylandConnection::DispatchUntil(const std::function<bool()>& done,
                                        std::chrono::milliseconds deadline,
                                        const char* waitingFor) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + deadline;
    const auto broken = [&] {
        const int error = wl_display_get_error(display_);
        return CompositorFailure("Lost the connection to the Wayland compositor",
                                 Posix::ErrnoText(error != 0 ? error : EPIPE));
    };
    while (!done()) {
        if (wl_display_prepare_read(display_) != 0) {
            if (wl_display_dispatch_pending(display_) < 0)
                return broken();
            continue;
        }
        if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display_);
            return broken();
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) {
            wl_display_cancel_read(display_);
            return CompositorFailure("The Wayland compositor did not answer",
                                     std::string("waited for ") + waitingFor);
        }
        pollfd wait{wl_display_get_fd(display_), POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(left.count())) > 0) {
            if (wl_display_read_events(display_) < 0)
                return broken();
        } else {
            wl_display_cancel_read(display_);
        }
        if (wl_display_dispatch_pending(display_) < 0)
            return broken();
    }
    return std::nullopt;
}

Status WaylandConnection::Sync() {
    // An output that came in this round trip is bound in it, and says what it is in the next.
    if (auto failed = RoundTrip())
        return failed;
    const bool undescribed = std::any_of(outputs_.begin(), outputs_.end(),
                                         [](const auto& output) { return !output->Described; });
    return undescribed ? RoundTrip() : std::nullopt;
}

Status WaylandConnection::RoundTrip() {
    bool answered = false;
    wl_callback* callback = wl_display_sync(display_);
    static constexpr wl_callback_listener DONE{
        [](void* data, wl_callback*, std::uint32_t) { *static_cast<bool*>(data) = true; }};
    wl_callback_add_listener(callback, &DONE, &answered);
    const Status failed =
        DispatchUntil([&] { return answered; }, ROUND_TRIP_DEADLINE, "a round trip");
    wl_callback_destroy(callback);
    return failed;
}

const WaylandOutput* WaylandConnection::Primary() const {
    // KDE's first output is its primary one; wlroots compositors know no primary output.
    // One that came but has not yet said where it lies would pass for the one at 0,0.
    const auto find = [&](const auto& matches) -> const WaylandOutput* {
        for (const auto& output : outputs_) {
            if (output->Described && matches(*output))
                return output.get();
        }
        return nullptr;
    };
    if (!orderNames_.empty()) {
        if (const auto* first = find([&](const WaylandOutput& output) {
                return output.Connector == orderNames_.front();
            }))
            return first;
    }
    if (const auto* origin = find([](const WaylandOutput& output) {
            return output.LogicalX == 0 && output.LogicalY == 0;
        }))
        return origin;
    return find([](const WaylandOutput&) { return true; });
}

std::optional<Seam::ScreenRect> WaylandConnection::Desktop() const {
    std::optional<Seam::ScreenRect> desktop;
    for (const auto& output : outputs_) {
        if (!output->Described)
            continue;
        const Seam::ScreenRect shown{output->LogicalX, output->LogicalY, output->Width(),
                                     output->Height()};
        if (!desktop) {
            desktop = shown;
            continue;
        }
        const int right = std::max(desktop->X + desktop->Width, shown.X + shown.Width);
        const int bottom = std::max(desktop->Y + desktop->Height, shown.Y + shown.Height);
        desktop->X = std::min(desktop->X, shown.X);
        desktop->Y = std::min(desktop->Y, shown.Y);
        desktop->Width = right - desktop->X;
        desktop->Height = bottom - desktop->Y;
    }
    return desktop;
}

const WaylandOutput* WaylandConnection::OutputNamed(std::uint32_t name) const {
    for (const auto& output : outputs_) {
        if (output->Name == name)
            return output.get();
    }
    return nullptr;
}

}  // namespace Platform::Wayland
