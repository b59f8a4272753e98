// Pictures with known pixels, at each depth a screen can have.
#pragma once

#include "core/Picture.h"

#include <cstdint>

namespace TestSupport {

// Pixel (x, y) of the gradient at each depth, as the file stores it: 24 bits 0xRRGGBB,
// 16 bits the 5-6-5 value, 8 bits the palette index.
std::uint32_t GradientRaw(int x, int y, int bitsPerPixel);

// A picture whose pixel (x, y) is GradientRaw(x, y, bits); 16 bits carry 5-6-5 masks,
// 8 bits a 256-entry palette where entry i is (i, 255 - i, 3i).
KestrelMain::Picture Gradient(int width, int height, int bitsPerPixel);

}  // namespace TestSupport
