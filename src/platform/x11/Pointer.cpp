#include "platform/x11/Pointer.h"

#include "platform/x11/GrabXcb.h"

#include <cstdlib>

namespace Platform {

namespace {

// Takes the reply, which may be missing when the server did not answer, and frees it.
Result<PointerPosition> RelativeTo(xcb_query_pointer_reply_t* pointer, const ScreenRect& origin) {
    if (pointer == nullptr) {
        return Failure{QStringLiteral("Cannot read the pointer position"), QString(),
                       QStringLiteral("the X server did not answer")};
    }
    const PointerPosition position{std::int32_t{pointer->root_x} - origin.X,
                                   std::int32_t{pointer->root_y} - origin.Y};
    std::free(pointer);
    return position;
}

}  // namespace

Result<PointerPosition> PointerRelativeTo(xcb_connection_t* connection, xcb_screen_t* screen,
                                          const ScreenRect& origin) {
    return RelativeTo(
        xcb_query_pointer_reply(connection, xcb_query_pointer(connection, screen->root), nullptr),
        origin);
}

Result<PointerPosition> PointerOnPrimaryMonitor(xcb_connection_t* connection,
                                                xcb_screen_t* screen) {
    // Sent first, so its reply arrives within the monitor query's round trip.
    const xcb_query_pointer_cookie_t cookie = xcb_query_pointer(connection, screen->root);
    const Result<ScreenRect> monitor = PrimaryMonitorRect(connection, screen);
    xcb_query_pointer_reply_t* pointer = xcb_query_pointer_reply(connection, cookie, nullptr);
    if (!monitor) {
        std::free(pointer);
        return monitor.Error();
    }
    return RelativeTo(pointer, *monitor);
}

}  // namespace Platform
