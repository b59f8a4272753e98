#include "testkit/BmpReader.h"

#include <bit>
#include <fstream>
#include <iterator>

namespace TestKit {

namespace {

std::uint32_t Get(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
    return v;
}

std::uint8_t Expand(std::uint32_t value, std::uint32_t mask) {
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const std::uint32_t max = mask >> shift;
    return static_cast<std::uint8_t>((((value & mask) >> shift) * 255 + max / 2) / max);
}

// UTF-8 on every system: a wide path's letters would not survive the ANSI code page.
std::string Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

BmpImage ReadBmp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        BmpImage image;
        image.Error = "cannot open " + Text(file);
        return image;
    }
    BmpImage image = ReadBmpBytes(std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)),
                                                            std::istreambuf_iterator<char>()));
    if (!image.Ok())
        image.Error = Text(file) + ": " + image.Error;
    return image;
}

BmpImage ReadBmpBytes(const std::vector<std::uint8_t>& b) {
    BmpImage image;
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') {
        image.Error = "not a BMP file";
        return image;
    }
    if (Get(b, 2, 4) != b.size()) {
        image.Error = "file size field " + std::to_string(Get(b, 2, 4)) + " but file has " +
                      std::to_string(b.size()) + " bytes";
        return image;
    }
    const std::uint32_t offset = Get(b, 10, 4);
    const std::uint32_t headerSize = Get(b, 14, 4);
    if (headerSize < 40) {
        image.Error = "information header of " + std::to_string(headerSize) + " bytes";
        return image;
    }
    image.Width = static_cast<std::int32_t>(Get(b, 18, 4));
    const auto height = static_cast<std::int32_t>(Get(b, 22, 4));
    const bool bottomUp = height > 0;
    image.Height = bottomUp ? height : -height;
    image.BitsPerPixel = static_cast<int>(Get(b, 28, 2));
    image.Compression = Get(b, 30, 4);
    if (Get(b, 26, 2) != 1) {
        image.Error = "planes is not 1";
        return image;
    }
    if (image.Width <= 0 || image.Height <= 0) {
        image.Error = "empty image";
        return image;
    }
    const std::size_t stride =
        (static_cast<std::size_t>(image.Width) * image.BitsPerPixel + 31) / 32 * 4;
    if (Get(b, 34, 4) != 0 && Get(b, 34, 4) != stride * image.Height) {
        image.Error = "image size field disagrees with the dimensions";
        return image;
    }
    if (offset + stride * image.Height != b.size()) {
        image.Error = "pixel data does not end the file exactly";
        return image;
    }

    const std::size_t afterHeader = 14 + headerSize;
    if (image.BitsPerPixel == 8) {
        if (image.Compression != 0) {
            image.Error = "compressed 8-bit data";
            return image;
        }
        std::uint32_t colours = Get(b, 46, 4);
        if (colours == 0)
            colours = 256;
        if (afterHeader + 4 * colours > offset) {
            image.Error = "colour table overlaps the pixels";
            return image;
        }
        for (std::uint32_t i = 0; i < colours; ++i) {
            const std::size_t at = afterHeader + 4 * i;
            image.Palette.push_back(Rgb{b[at + 2], b[at + 1], b[at]});
        }
    } else if (image.BitsPerPixel == 16) {
        if (image.Compression == 3) {
            const std::size_t at = headerSize >= 52 ? 14 + 40 : afterHeader;
            image.RedMask = Get(b, at, 4);
            image.GreenMask = Get(b, at + 4, 4);
            image.BlueMask = Get(b, at + 8, 4);
        } else if (image.Compression == 0) {
            image.RedMask = 0x7c00;
            image.GreenMask = 0x03e0;
            image.BlueMask = 0x001f;
        } else {
            image.Error = "unknown 16-bit compression";
            return image;
        }
    } else if (image.BitsPerPixel == 24) {
        if (image.Compression != 0) {
            image.Error = "compressed 24-bit data";
            return image;
        }
    } else {
        image.Error = "unexpected bits per pixel " + std::to_string(image.BitsPerPixel);
        return image;
    }

    const std::size_t count = static_cast<std::size_t>(image.Width) * image.Height;
    image.Raw.resize(count);
    image.Pixels.resize(count);
    for (int y = 0; y < image.Height; ++y) {
        const std::size_t row =
            offset + stride * static_cast<std::size_t>(bottomUp ? image.Height - 1 - y : y);
        for (int x = 0; x < image.Width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * image.Width + x;
            if (image.BitsPerPixel == 8) {
                const std::uint8_t index = b[row + x];
                image.Raw[i] = index;
                if (index >= image.Palette.size()) {
                    image.Error = "index beyond the colour table";
                    return image;
                }
                image.Pixels[i] = image.Palette[index];
            } else if (image.BitsPerPixel == 16) {
                const std::uint32_t v = Get(b, row + 2 * static_cast<std::size_t>(x), 2);
                image.Raw[i] = v;
                image.Pixels[i] = Rgb{Expand(v, image.RedMask), Expand(v, image.GreenMask),
                                      Expand(v, image.BlueMask)};
            } else {
                const std::size_t at = row + 3 * static_cast<std::size_t>(x);
                image.Raw[i] =
                    std::uint32_t{b[at + 2]} << 16 | std::uint32_t{b[at + 1]} << 8 | b[at];
                image.Pixels[i] = Rgb{b[at + 2], b[at + 1], b[at]};
            }
        }
        // Row padding is zero.
        const std::size_t used =
            (static_cast<std::size_t>(image.Width) * image.BitsPerPixel + 7) / 8;
        for (std::size_t k = used; k < stride; ++k) {
            if (b[row + k] != 0) {
                image.Error = "row padding is not zero";
                return image;
            }
        }
    }
    return image;
}

}  // namespace TestKit
