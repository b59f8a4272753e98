#include "core/Bitmap.h"

#include <charconv>
#include <new>
#include <string>

namespace KestrelMain {

namespace {

// Fixed-point with one decimal and always ".": the text must not change with the
// locale the program runs in.
std::string OneDecimal(double value) {
    char buffer[32];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    return std::string(buffer, end.ptr);
}

}  // namespace

Result<Bitmap> AllocateBitmap(int width, int height, int bitsPerPixel) {
    const std::string what = "Cannot make a picture of " + std::to_string(width) + " x " +
                             std::to_string(height) + " pixels";
    if (width < 1 || height < 1) {
        return Failure{what, {}, "width and height must be positive"};
    }
    Bitmap bitmap;
    bitmap.Width = width;
    bitmap.Height = height;
    bitmap.BitsPerPixel = bitsPerPixel;
    bitmap.Stride =
        (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel) + 31) / 32 * 4;
    const std::size_t bytes = bitmap.ByteCount();
    bitmap.Pixels.reset(new (std::nothrow) std::uint8_t[bytes]);
    if (!bitmap.Pixels) {
        return Failure{what,
                       {},
                       "not enough memory for its " +
                           OneDecimal(static_cast<double>(bytes) / (1024.0 * 1024.0)) + " MB"};
    }
    return bitmap;
}

}  // namespace KestrelMain
