#include "platform/x11/Screen.h"

#include "platform/x11/GrabXcb.h"

#include <xcb/randr.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace Platform {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

ScreenRect RootRect(const xcb_screen_t* screen) {
    return ScreenRect{0, 0, screen->width_in_pixels, screen->height_in_pixels};
}

// The part of `rect` on the root window; empty (zero size) when none is.
ScreenRect ClipToRoot(const ScreenRect& rect, const xcb_screen_t* screen) {
    const int left = std::max(rect.X, 0);
    const int top = std::max(rect.Y, 0);
    const int right = std::min(rect.X + rect.Width, static_cast<int>(screen->width_in_pixels));
    const int bottom = std::min(rect.Y + rect.Height, static_cast<int>(screen->height_in_pixels));
    if (right <= left || bottom <= top)
        return ScreenRect{};
    return ScreenRect{left, top, right - left, bottom - top};
}

}  // namespace

Result<ScreenRect> PrimaryMonitorRect(xcb_connection_t* connection, xcb_screen_t* screen) {
    if (connection == nullptr || screen == nullptr || xcb_connection_has_error(connection) != 0) {
        return Failure{QStringLiteral("Cannot find the primary screen"), QString(),
                       QStringLiteral("the connection to the X server is broken")};
    }
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(connection, &xcb_randr_id);
    if (randr == nullptr || randr->present == 0)
        return RootRect(screen);

    // Monitors need RandR 1.5; asked for in the same round trip as the monitors.
    const auto versionCookie = xcb_randr_query_version(connection, 1, 5);
    const auto monitorsCookie = xcb_randr_get_monitors(connection, screen->root, 1);
    Reply<xcb_randr_query_version_reply_t> version(
        xcb_randr_query_version_reply(connection, versionCookie, nullptr));
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_randr_get_monitors_reply_t> monitors(
        xcb_randr_get_monitors_reply(connection, monitorsCookie, &error));
    std::free(error);
    if (!version || !monitors || (version->major_version == 1 && version->minor_version < 5)) {
        return RootRect(screen);
    }

    std::optional<ScreenRect> first;
    std::optional<ScreenRect> primary;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem > 0;
         xcb_randr_monitor_info_next(&it)) {
        const ScreenRect rect{it.data->x, it.data->y, it.data->width, it.data->height};
        if (!first)
            first = rect;
        if (it.data->primary != 0 && !primary)
            primary = rect;
    }
    const std::optional<ScreenRect> chosen = primary ? primary : first;
    if (!chosen)
        return RootRect(screen);
    const ScreenRect clipped = ClipToRoot(*chosen, screen);
    if (clipped.Width == 0)
        return RootRect(screen);
    return clipped;
}

Result<ScreenRect> WindowAreaOnRoot(xcb_connection_t* connection, xcb_screen_t* screen,
                                    xcb_window_t window, bool clientArea, ScreenRect area) {
    if (window == screen->root)
        return area;
    const Failure lost{QStringLiteral("Cannot find the window to grab"), QString(),
                       QStringLiteral("window 0x%1 does not exist").arg(window, 0, 16)};

    // Without clientArea the area is measured from the window's top-level frame: the
    // ancestor that is a child of the root window.
    xcb_window_t origin = window;
    if (!clientArea) {
        for (;;) {
            Reply<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(connection, xcb_query_tree(connection, origin), nullptr));
            if (!tree)
                return lost;
            if (tree->parent == screen->root || tree->parent == XCB_NONE)
                break;
            origin = tree->parent;
        }
    }
    Reply<xcb_translate_coordinates_reply_t> moved(xcb_translate_coordinates_reply(
        connection,
        xcb_translate_coordinates(connection, origin, screen->root,
                                  static_cast<std::int16_t>(std::clamp(area.X, -32768, 32767)),
                                  static_cast<std::int16_t>(std::clamp(area.Y, -32768, 32767))),
        nullptr));
    if (!moved)
        return lost;
    return ScreenRect{moved->dst_x, moved->dst_y, area.Width, area.Height};
}

}  // namespace Platform
