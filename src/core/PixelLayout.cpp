#include "core/PixelLayout.h"

#include "core/FailureTexts.h"

#include <bit>
#include <string>

namespace KestrelMain {

namespace {

// The scaler sums channel values times vertical weights (below 2^16) in 32-bit lanes;
// channels of at most 15 bits keep every sum below 2^31, so it converts to float as a
// signed integer.
constexpr int MAX_CHANNEL_BITS = 15;

Failure LayoutFailure(const PixelLayout& layout, const char* why) {
    return Failure{CANNOT_READ_SCREEN,
                   {},
                   "unsupported pixel layout (depth " + std::to_string(layout.Depth) + ", " +
                       std::to_string(layout.BitsPerPixel) + " bits per pixel): " + why};
}

}  // namespace

std::size_t PixelLayout::RowBytes(int width) const {
    const std::size_t bits =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(BitsPerPixel);
    const std::size_t pad = static_cast<std::size_t>(ScanlinePad);
    return (bits + pad - 1) / pad * pad / 8;
}

std::optional<Channel> ChannelOf(std::uint32_t mask) {
    if (mask == 0)
        return std::nullopt;
    const int shift = std::countr_zero(mask);
    const std::uint32_t bits = mask >> shift;
    const int width = std::popcount(bits);
    if (width > MAX_CHANNEL_BITS || bits != (1u << width) - 1u)
        return std::nullopt;
    return Channel{shift, width, bits};
}

Result<BitmapFormat> ChooseBitmapFormat(const PixelLayout& layout) {
    if (layout.BitsPerPixel != 8 && layout.BitsPerPixel != 16 && layout.BitsPerPixel != 24 &&
        layout.BitsPerPixel != 32) {
        return LayoutFailure(layout, "bits per pixel must be 8, 16, 24 or 32");
    }
    if (layout.ScanlinePad != 8 && layout.ScanlinePad != 16 && layout.ScanlinePad != 32) {
        return LayoutFailure(layout, "rows must be padded to 8, 16 or 32 bits");
    }
    if (layout.Depth < 1 || layout.Depth > layout.BitsPerPixel) {
        return LayoutFailure(layout, "the depth does not fit in a pixel");
    }
    BitmapFormat format;
    if (layout.Kind == PixelKind::Indexed) {
        if (layout.Depth > 8)
            return LayoutFailure(layout, "more than 256 colormap entries");
        format.BitsPerPixel = 8;
        return format;
    }
    const auto red = ChannelOf(layout.RedMask);
    const auto green = ChannelOf(layout.GreenMask);
    const auto blue = ChannelOf(layout.BlueMask);
    if (!red || !green || !blue)
        return LayoutFailure(layout, "a colour mask is not usable");
    const std::uint64_t all = std::uint64_t{layout.RedMask} | layout.GreenMask | layout.BlueMask;
    if (layout.BitsPerPixel < 32 && (all >> layout.BitsPerPixel) != 0) {
        return LayoutFailure(layout, "a colour mask lies outside the pixel");
    }
    if (layout.Depth <= 16 && (all >> 16) == 0) {
        // The source's own pixels, written as they are: a 16-bit file holds them exactly.
        format.BitsPerPixel = 16;
        format.RedMask = layout.RedMask;
        format.GreenMask = layout.GreenMask;
        format.BlueMask = layout.BlueMask;
        return format;
    }
    format.BitsPerPixel = 24;
    return format;
}

}  // namespace KestrelMain
