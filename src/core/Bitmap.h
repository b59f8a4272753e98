// The picture's pixels: a device-dependent bitmap at the screen's depth and, on palette
// screens, the colours its pixel values stand for.
#pragma once

#include "core/Failure.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace KestrelMain {

// Laid out as a BMP file holds its pixels: rows padded to four bytes and stored
// bottom-up, so it is saved with one write.
struct Bitmap {
    int Width = 0;
    int Height = 0;
    int BitsPerPixel = 0;       // 8 (palette indices), 16 or 24
    std::uint32_t RedMask = 0;  // 16 bits per pixel: where each channel sits in a pixel
    std::uint32_t GreenMask = 0;
    std::uint32_t BlueMask = 0;
    std::size_t Stride = 0;  // bytes per stored row
    std::unique_ptr<std::uint8_t[]> Pixels;

    std::size_t ByteCount() const { return Stride * static_cast<std::size_t>(Height); }
    // Row y of the image, counted from the top.
    std::uint8_t* Row(int y) {
        return Pixels.get() + Stride * static_cast<std::size_t>(Height - 1 - y);
    }
    const std::uint8_t* Row(int y) const {
        return Pixels.get() + Stride * static_cast<std::size_t>(Height - 1 - y);
    }
};

// Allocates an uninitialised bitmap; a size that is not positive or that memory cannot
// hold is a failure, never a crash.
Result<Bitmap> AllocateBitmap(int width, int height, int bitsPerPixel);

struct PaletteEntry {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
};

// The colormap of a palette screen, one entry per pixel value.
struct Palette {
    std::vector<PaletteEntry> Entries;
};

}  // namespace KestrelMain
