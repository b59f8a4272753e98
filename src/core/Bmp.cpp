#include "core/Bmp.h"

#include "core/PathText.h"

#include <limits>
#include <span>
#include <string>

namespace KestrelMain {

namespace {

constexpr std::uint32_t FILE_HEADER_SIZE = 14;
constexpr std::uint32_t INFO_HEADER_SIZE = 40;
constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_BITFIELDS = 3;
constexpr std::int32_t PIXELS_PER_METRE = 3780;  // 96 dots per inch
constexpr std::uint32_t PALETTE_ENTRIES = 256;

// The layout a plain 16-bit BMP implies.
constexpr std::uint32_t RED_555 = 0x7c00;
constexpr std::uint32_t GREEN_555 = 0x03e0;
constexpr std::uint32_t BLUE_555 = 0x001f;

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, value & 0xffffu);
    Put16(out, value >> 16);
}

Failure FormatFailure(const Picture& picture, const std::string& reason) {
    return Failure{"Cannot save a picture of " + std::to_string(picture.Width()) + " x " +
                       std::to_string(picture.Height()) + " pixels as BMP",
                   {},
                   reason};
}

}  // namespace

Result<std::vector<std::uint8_t>> BmpHeader(const Picture& picture) {
    const Bitmap& bitmap = picture.Pixels();
    const int bits = bitmap.BitsPerPixel;
    if (bits != 8 && bits != 16 && bits != 24) {
        return FormatFailure(picture, std::to_string(bits) + " bits per pixel");
    }
    if (bitmap.Width < 1 || bitmap.Height < 1 || !bitmap.Pixels) {
        return FormatFailure(picture, "the picture is empty");
    }
    const bool fields =
        bits == 16 && !(bitmap.RedMask == RED_555 && bitmap.GreenMask == GREEN_555 &&
                        bitmap.BlueMask == BLUE_555);
    const std::uint64_t extras = fields ? 12u : (bits == 8 ? 4u * PALETTE_ENTRIES : 0u);
    const std::uint64_t offset = FILE_HEADER_SIZE + INFO_HEADER_SIZE + extras;
    const std::uint64_t imageBytes = bitmap.ByteCount();
    const std::uint64_t fileBytes = offset + imageBytes;
    if (fileBytes > std::numeric_limits<std::uint32_t>::max()) {
        return FormatFailure(picture, "a BMP file cannot exceed 4 GB");
    }

    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(offset));
    out.push_back('B');
    out.push_back('M');
    Put32(out, static_cast<std::uint32_t>(fileBytes));
    Put32(out, 0);  // two reserved 16-bit fields
    Put32(out, static_cast<std::uint32_t>(offset));

    Put32(out, INFO_HEADER_SIZE);
    Put32(out, static_cast<std::uint32_t>(bitmap.Width));
    Put32(out, static_cast<std::uint32_t>(bitmap.Height));  // positive: rows bottom-up
    Put16(out, 1);                                          // planes
    Put16(out, static_cast<std::uint32_t>(bits));
    Put32(out, fields ? BI_BITFIELDS : BI_RGB);
    Put32(out, static_cast<std::uint32_t>(imageBytes));
    Put32(out, static_cast<std::uint32_t>(PIXELS_PER_METRE));
    Put32(out, static_cast<std::uint32_t>(PIXELS_PER_METRE));
    Put32(out, bits == 8 ? PALETTE_ENTRIES : 0);  // colours used
    Put32(out, 0);                                // colours important: all

    if (fields) {
        Put32(out, bitmap.RedMask);
        Put32(out, bitmap.GreenMask);
        Put32(out, bitmap.BlueMask);
    } else if (bits == 8) {
        const auto& colors = picture.Colors();
        for (std::uint32_t i = 0; i < PALETTE_ENTRIES; ++i) {
            PaletteEntry entry;
            if (colors && i < colors->Entries.size())
                entry = colors->Entries[i];
            out.push_back(entry.Blue);
            out.push_back(entry.Green);
            out.push_back(entry.Red);
            out.push_back(0);
        }
    }
    return out;
}

Status SavePictureAsBmp(const Picture& picture, const std::filesystem::path& path,
                        Seam::FileSystem& files) {
    auto header = BmpHeader(picture);
    if (!header) {
        Failure failure = header.Error();
        failure.Path = PathText(path);
        return failure;
    }
    const Bitmap& bitmap = picture.Pixels();
    const std::span<const std::uint8_t> parts[] = {
        std::span<const std::uint8_t>(header.Value()),
        std::span<const std::uint8_t>(bitmap.Pixels.get(), bitmap.ByteCount())};
    return files.SaveNewFile(path, parts);
}

}  // namespace KestrelMain
