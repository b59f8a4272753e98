#include "support/TestPictures.h"

#include <cstring>
#include <optional>
#include <stdexcept>
#include <utility>

namespace TestSupport {

std::uint32_t GradientRaw(int x, int y, int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 24:
            return static_cast<std::uint32_t>((x + y) % 256) << 16 |
                   static_cast<std::uint32_t>(y % 256) << 8 | static_cast<std::uint32_t>(x % 256);
        case 16:
            return static_cast<std::uint32_t>((x % 32) << 11 | (y % 64) << 5 | 7);
        default:
            return static_cast<std::uint32_t>((x + 2 * y) % 256);
    }
}

KestrelMain::Picture Gradient(int width, int height, int bits) {
    auto allocated = KestrelMain::AllocateBitmap(width, height, bits);
    if (!allocated)
        throw std::runtime_error(allocated.Error().Text());
    KestrelMain::Bitmap& b = allocated.Value();
    std::optional<KestrelMain::Palette> palette;
    if (bits == 16) {
        b.RedMask = 0xf800;
        b.GreenMask = 0x07e0;
        b.BlueMask = 0x001f;
    }
    if (bits == 8) {
        palette.emplace();
        for (int i = 0; i < 256; ++i) {
            palette->Entries.push_back(KestrelMain::PaletteEntry{static_cast<std::uint8_t>(i),
                                                                 static_cast<std::uint8_t>(255 - i),
                                                                 static_cast<std::uint8_t>(i * 3)});
        }
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = b.Row(y);
        std::memset(row, 0, b.Stride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t raw = GradientRaw(x, y, bits);
            const int bytes = bits / 8;
            for (int i = 0; i < bytes; ++i)
                row[bytes * x + i] = static_cast<std::uint8_t>(raw >> (8 * i));
        }
    }
    return KestrelMain::CreateBitmapPicture(std::move(b), std::move(palette));
}

}  // namespace TestSupport
