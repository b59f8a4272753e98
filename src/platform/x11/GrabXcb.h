// The screen, the pointer and the scaled grab on a given XCB connection and screen.
// Kestrel reaches them through Qt's connection (Screen.h, Pointer.h, ScreenGrab.h); tests
// and the benchmark use these directly, also on displays Qt cannot open windows on, such
// as 256-colour palette screens. Inside src/ only platform/ includes this header.
#pragma once

#include "core/AreaScaler.h"
#include "platform/qt/Failure.h"
#include "platform/x11/Pointer.h"
#include "platform/x11/Screen.h"
#include "platform/x11/ScreenGrab.h"

#include <xcb/xcb.h>

#include <cstddef>
#include <memory>

namespace Platform {

using KestrelMain::PixelLayout;

// The RandR monitor marked primary, else the first monitor, else the whole root window
// (also where RandR is older than 1.5), clipped to the root window.
Result<ScreenRect> PrimaryMonitorRect(xcb_connection_t* connection, xcb_screen_t* screen);

// The pointer relative to the primary monitor's top-left corner, read together with the
// monitor in one round trip.
Result<PointerPosition> PointerOnPrimaryMonitor(xcb_connection_t* connection, xcb_screen_t* screen);

// The pointer relative to the top-left corner of `origin`, a monitor the caller already has.
Result<PointerPosition> PointerRelativeTo(xcb_connection_t* connection, xcb_screen_t* screen,
                                          const ScreenRect& origin);

// A rectangle of a window (relative to the window, or to its top-level frame without
// clientArea) in root-window coordinates.
Result<ScreenRect> WindowAreaOnRoot(xcb_connection_t* connection, xcb_screen_t* screen,
                                    xcb_window_t window, bool clientArea, ScreenRect area);

// The screen's pixel layout: depth, masks and class from the root window's visual, bits
// per pixel and row padding from the setup's pixmap formats, byte order from the setup.
Result<PixelLayout> ScreenPixelLayout(xcb_connection_t* connection, xcb_screen_t* screen);

struct GrabOptions {
    // Read through one MIT-SHM segment when the server is local and offers it; otherwise,
    // or when this is false, through plain GetImage requests.
    bool UseSharedMemory = true;
    // Bytes of screen rows read per request; the segment holds two such strips, so the
    // server fills one while the other is folded into the output.
    std::size_t StripBytes = std::size_t{1} << 20;
};

// Grabs scaled pictures of the screen, keeping between grabs what does not change: the
// shared-memory segment (created at the first grab, reused after) and the weights for
// the last geometry. One grabber per connection and screen; not thread-safe.
class ScreenGrabber {
  public:
    ScreenGrabber(xcb_connection_t* connection, xcb_screen_t* screen, GrabOptions options = {});
    ~ScreenGrabber();
    ScreenGrabber(const ScreenGrabber&) = delete;
    ScreenGrabber& operator=(const ScreenGrabber&) = delete;

    // The rectangle `area` of the root window (root coordinates, inside the root window)
    // scaled to outputWidth x outputHeight.
    Result<ScaledImage> Grab(const ScreenRect& area, int outputWidth, int outputHeight);

    // Whether the last grab read through shared memory.
    bool UsedSharedMemory() const;

    xcb_connection_t* Connection() const;
    xcb_screen_t* Screen() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace Platform
