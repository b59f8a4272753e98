// How a screen source stores its pixels, whatever the source: the X server's visual and
// pixmap formats, a compositor's buffer format or a device-independent bitmap all come down
// to this. The scaler reads rows in such a layout; the bitmap it fills is in the format
// chosen for it here.
#pragma once

#include "core/Failure.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace KestrelMain {

enum class PixelKind {
    Direct,   // pixels carry their colour in the channel masks
    Indexed,  // pixels are palette indices
};

struct PixelLayout {
    PixelKind Kind = PixelKind::Direct;
    int Depth = 24;  // significant bits of a pixel
    int BitsPerPixel = 32;
    int ScanlinePad = 32;   // each row is padded to a multiple of this many bits
    bool MsbFirst = false;  // bytes of a pixel, most significant first
    std::uint32_t RedMask = 0xff0000u;
    std::uint32_t GreenMask = 0x00ff00u;
    std::uint32_t BlueMask = 0x0000ffu;

    // Bytes per row of this many pixels, padding included.
    std::size_t RowBytes(int width) const;

    friend bool operator==(const PixelLayout&, const PixelLayout&) = default;
};

// Where a colour mask puts its channel in a pixel.
struct Channel {
    int Shift = 0;
    int Bits = 0;
    std::uint32_t Max = 0;  // the channel's largest value, the mask shifted down
};

// None when the mask is empty, has a gap, or is wider than the scaler's sums allow.
std::optional<Channel> ChannelOf(std::uint32_t mask);

// How a bitmap of this layout is kept and saved: 8-bit indices with the palette for
// indexed pixels; the source's own 16-bit pixels where its channels fit in 16 bits
// (depths 15 and 16); 24-bit colour otherwise.
struct BitmapFormat {
    int BitsPerPixel = 24;
    std::uint32_t RedMask = 0;  // 16 bits per pixel only
    std::uint32_t GreenMask = 0;
    std::uint32_t BlueMask = 0;
};

Result<BitmapFormat> ChooseBitmapFormat(const PixelLayout& layout);

}  // namespace KestrelMain
