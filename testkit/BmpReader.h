// Reads a BMP file back, independently of Kestrel's writer: the headers are checked field
// by field and every pixel is decoded to 8-bit red, green and blue.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace TestKit {

struct Rgb {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct BmpImage {
    std::string Error;  // empty when the file was read
    int Width = 0;
    int Height = 0;
    int BitsPerPixel = 0;
    std::uint32_t Compression = 0;
    std::uint32_t RedMask = 0;  // 16 bits per pixel: the masks in force
    std::uint32_t GreenMask = 0;
    std::uint32_t BlueMask = 0;
    std::vector<Rgb> Palette;        // 8 bits per pixel
    std::vector<std::uint32_t> Raw;  // per pixel, top row first: index, 16-bit value or 0xRRGGBB
    std::vector<Rgb> Pixels;         // per pixel, top row first, decoded

    bool Ok() const { return Error.empty(); }
    Rgb At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
    std::uint32_t RawAt(int x, int y) const { return Raw[static_cast<std::size_t>(y) * Width + x]; }
};

BmpImage ReadBmp(const std::filesystem::path& file);

// The same for the bytes of a whole file, as a test's in-memory file system holds them.
BmpImage ReadBmpBytes(const std::vector<std::uint8_t>& bytes);

}  // namespace TestKit
