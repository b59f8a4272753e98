#include "platform/x11/X11Screen.h"

#include <xcb/randr.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>

namespace Platform::X11 {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// The part of `rect` on the root window; empty (zero size) when none is.
Seam::ScreenRect ClipToRoot(const Seam::ScreenRect& rect, const Seam::ScreenRect& root) {
    const int left = std::max(rect.X, 0);
    const int top = std::max(rect.Y, 0);
    const int right = std::min(rect.X + rect.Width, root.Width);
    const int bottom = std::min(rect.Y + rect.Height, root.Height);
    if (right <= left || bottom <= top)
        return Seam::ScreenRect{};
    return Seam::ScreenRect{left, top, right - left, bottom - top};
}

}  // namespace

X11Screen::X11Screen(const X11Connection& connection) : x_(connection) {
    if (x_.Broken())
        return;
    const xcb_query_extension_reply_t* randr =
        xcb_get_extension_data(x_.Connection(), &xcb_randr_id);
    if (randr == nullptr || randr->present == 0)
        return;
    Reply<xcb_randr_query_version_reply_t> version(xcb_randr_query_version_reply(
        x_.Connection(), xcb_randr_query_version(x_.Connection(), 1, 5), nullptr));
    listsMonitors_ = version && (version->major_version > 1 || version->minor_version >= 5);
}

KestrelMain::Result<Seam::ScreenRect> X11Screen::ReadPrimaryScreen() {
    if (x_.Broken())
        return X11Connection::BrokenFailure("Cannot find the primary screen");
    // Read at every capture: the desktop may have changed since the last.
    const auto size = x_.RootSizeNow();
    if (!size)
        return x_.Broken()
                   ? X11Connection::BrokenFailure("Cannot find the primary screen")
                   : KestrelMain::Failure{
                         "Cannot find the primary screen", {}, "the X server did not answer"};
    const Seam::ScreenRect root{0, 0, size->first, size->second};
    if (!listsMonitors_)
        return root;

    xcb_generic_error_t* error = nullptr;
    Reply<xcb_randr_get_monitors_reply_t> monitors(xcb_randr_get_monitors_reply(
        x_.Connection(), xcb_randr_get_monitors(x_.Connection(), x_.Root(), 1), &error));
    std::free(error);
    if (!monitors)
        return root;

    std::optional<Seam::ScreenRect> first;
    std::optional<Seam::ScreenRect> primary;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem > 0;
         xcb_randr_monitor_info_next(&it)) {
        const Seam::ScreenRect rect{it.data->x, it.data->y, it.data->width, it.data->height};
        if (!first)
            first = rect;
        if (it.data->primary != 0 && !primary)
            primary = rect;
    }
    const std::optional<Seam::ScreenRect> chosen = primary ? primary : first;
    if (!chosen)
        return root;
    const Seam::ScreenRect clipped = ClipToRoot(*chosen, root);
    if (clipped.Width == 0)
        return root;
    return clipped;
}

KestrelMain::Result<Seam::PointerReading> X11Screen::ReadPointer(
    const Seam::ScreenRect& primaryScreen) {
    if (x_.Broken())
        return X11Connection::BrokenFailure("Cannot read the pointer position");
    Reply<xcb_query_pointer_reply_t> pointer(xcb_query_pointer_reply(
        x_.Connection(), xcb_query_pointer(x_.Connection(), x_.Root()), nullptr));
    if (!pointer)
        return KestrelMain::Failure{
            "Cannot read the pointer position", {}, "the X server did not answer"};
    return Seam::PointerReading::At(std::int32_t{pointer->root_x} - primaryScreen.X,
                                    std::int32_t{pointer->root_y} - primaryScreen.Y);
}

}  // namespace Platform::X11
