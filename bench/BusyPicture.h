// The benchmark's busy picture: gradients, colour blocks, rows of small glyphs and
// one-pixel lines, the same for every size of screen and every system, so the X11 and the
// Windows benchmarks measure the same content.
#pragma once

#include <cstdint>

namespace Bench {

// The colour (0xRRGGBB) of the busy picture at (x, y) on a screen of that size.
std::uint32_t BusyColourAt(int x, int y, int width, int height);

}  // namespace Bench
