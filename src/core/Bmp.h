// The BMP encoding of a picture: an uncompressed file of exactly its size at its depth:
// 24-bit colour, 16-bit colour with the screen's channel masks (plain 5-5-5, or bit fields
// such as 5-6-5), or 8-bit indices with a 256-entry colour table. Rows are stored
// bottom-up with the classic 40-byte header, which every common image reader understands.
#pragma once

#include "core/Failure.h"
#include "core/Picture.h"
#include "core/seam/FileSystem.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace KestrelMain {

// Everything before the pixels: file header, information header, then the channel
// masks (16-bit bit fields) or the colour table (8-bit). Fails when the picture is too
// large for the format's 32-bit sizes.
Result<std::vector<std::uint8_t>> BmpHeader(const Picture& picture);

// Writes the file under a new name that must not exist yet, all or nothing: the header
// and the bitmap's own bytes, which are already laid out as the file holds them.
Status SavePictureAsBmp(const Picture& picture, const std::filesystem::path& path,
                        Seam::FileSystem& files);

}  // namespace KestrelMain
