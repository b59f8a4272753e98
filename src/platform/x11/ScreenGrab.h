// The scaled screen grab: a rectangle of the screen read in one streaming pass straight
// into a bitmap of the output size, never holding a full-size copy of the screen.
// True-colour screens are reduced (or enlarged) by an exact area average; on palette
// screens the pixel indices are sampled nearest-neighbour and the colormap becomes the
// bitmap's palette.
#pragma once

#include "core/Bitmap.h"
#include "platform/qt/Failure.h"
#include "platform/x11/Screen.h"

#include <cstdint>
#include <optional>

namespace Platform {

// The bitmap and its palette belong to the core; the grab fills them.
using KestrelMain::AllocateBitmap;
using KestrelMain::Bitmap;
using KestrelMain::Palette;
using KestrelMain::PaletteEntry;

struct ScaledImage {
    Bitmap Pixels;
    std::optional<Palette> Colors;  // only on palette screens
};

// An X window id; the desktop is the root window.
using WindowId = std::uint32_t;

WindowId DesktopWindow();

// The rectangle (x, y, width, height) of a window, scaled to outputWidth x outputHeight.
// With clientArea the rectangle is taken from the window's own origin, otherwise from
// the origin of its top-level frame; for the desktop both are the root window's.
// Fails outside an X11 session, for a size that is not positive or cannot be allocated,
// and when the server refuses the read.
Result<ScaledImage> GrabWindowArea(WindowId window, bool clientArea, ScreenRect area,
                                   int outputWidth, int outputHeight);

}  // namespace Platform
