// The busy picture of the benchmarks and the tests: gradients, colour blocks, rows of small
// glyphs and one-pixel lines, the same for every size of screen and every system, so every
// benchmark and the Wayland suites measure the same content.
#pragma once

#include "testkit/AreaReference.h"

#include <cstdint>

namespace TestKit {

// The colour (0xRRGGBB) of the busy picture at (x, y) on a screen of that size.
std::uint32_t BusyColourAt(int x, int y, int width, int height);

// The exact area average of the whole busy picture of that size, reduced to the output's.
ExactAreaAverage BusyPictureAverage(int width, int height, int outputWidth, int outputHeight);

}  // namespace TestKit
