// Window layouts are given in twips from the top-left corner of the client area; Qt lays
// out in device-independent pixels, 15 twips to the pixel, and scales those on high-DPI
// screens itself.
#pragma once

#include "core/WindowLayouts.h"

#include <QRect>
#include <QSize>

namespace Ui {

inline constexpr int TWIPS_PER_PIXEL = 15;

// Nearest pixel, a half rounding up (layouts hold no negative twips).
constexpr int TwipsToPixels(int twips) {
    return (twips + TWIPS_PER_PIXEL / 2) / TWIPS_PER_PIXEL;
}

// Left and top are rounded on their own; width and height are chosen so that the right and
// bottom edges land where the rounded far edges are, so neighbours that meet in twips still
// meet in pixels and no rounding error accumulates along a row. A line is one pixel high.
constexpr QRect PixelsOf(const KestrelMain::TwipsRect& twips) {
    const int x = TwipsToPixels(twips.Left);
    const int y = TwipsToPixels(twips.Top);
    const int height = twips.Height == 0 ? 1 : TwipsToPixels(twips.Top + twips.Height) - y;
    return QRect(x, y, TwipsToPixels(twips.Left + twips.Width) - x, height);
}

constexpr QSize ClientPixels(const KestrelMain::WindowLayout& window) {
    return QSize(TwipsToPixels(window.ClientWidth), TwipsToPixels(window.ClientHeight));
}

}  // namespace Ui
