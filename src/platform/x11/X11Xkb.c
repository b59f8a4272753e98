#include "platform/x11/X11Xkb.h"

#include <xcb/xkb.h>

#include <stdlib.h>

int KestrelEnableDetectableAutoRepeat(xcb_connection_t* connection) {
    // A request to an extension the server lacks would close the whole connection.
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(connection, &xcb_xkb_id);
    if (xkb == NULL || !xkb->present)
        return 0;

    xcb_xkb_use_extension_reply_t* use = xcb_xkb_use_extension_reply(
        connection, xcb_xkb_use_extension(connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION),
        NULL);
    const int usable = use != NULL && use->supported;
    free(use);
    if (!usable)
        return 0;

    // Only this flag changes; whatever else the toolkit set for the connection stays.
    const uint32_t flag = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
    xcb_xkb_per_client_flags_reply_t* reply = xcb_xkb_per_client_flags_reply(
        connection,
        xcb_xkb_per_client_flags(connection, XCB_XKB_ID_USE_CORE_KBD, flag, flag, 0, 0, 0), NULL);
    // The reply's value holds the flags now in force: a server that cannot grant the
    // flag leaves it clear there, and repeats then still come as release and press.
    const int granted =
        reply != NULL && (reply->supported & flag) != 0 && (reply->value & flag) != 0;
    free(reply);
    return granted;
}
