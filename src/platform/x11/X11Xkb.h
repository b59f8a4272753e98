// The one request the hot key makes of XKB. It lives in a C file because xcb/xkb.h names a
// structure member `explicit`, a keyword that no C++ file may include or redefine away.
#pragma once

#include <xcb/xcb.h>

#ifdef __cplusplus
extern "C" {
#endif

// Asks the server to send a held key to this connection as presses only, with a single
// release when the key comes up (XKB's detectable auto-repeat), instead of a release and a
// press for every repeat. Returns 1 when the server granted it, 0 where XKB is missing or
// the server refused.
int KestrelEnableDetectableAutoRepeat(xcb_connection_t* connection);

#ifdef __cplusplus
}
#endif
