#include "platform/Pointer.h"

#include "platform/GrabXcb.h"

#include <cstdlib>

namespace Platform {

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
    if (pointer == nullptr) {
        return Failure{QStringLiteral("Cannot read the pointer position"), QString(),
                       QStringLiteral("the X server did not answer")};
    }
    const PointerPosition position{std::int32_t{pointer->root_x} - (*monitor).X,
                                   std::int32_t{pointer->root_y} - (*monitor).Y};
    std::free(pointer);
    return position;
}

}  // namespace Platform
