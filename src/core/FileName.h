// The names Kestrel gives its captures, as pure functions: the capture directory and the
// capture file, and the pointer position a file name records.
#pragma once

#include "core/LocalTime.h"

#include <cstdint>
#include <optional>
#include <string>

namespace KestrelMain {

// basePath "KESTREL_" ddmmyyyy "_" hhmmss, by plain concatenation: a base without its
// trailing separator is joined unchanged.
std::string ComposeCaptureDirName(const std::string& basePath, const LocalDateTime& moment);

// A pointer coordinate in image pixels: outputSize x pointer / screenSize, truncated
// toward zero. The product is taken in 64 bits, so a pointer far out on a large desktop
// cannot overflow it. A screen size that is not positive gives 0.
std::int64_t ScaleToImage(std::int64_t outputSize, std::int64_t pointer, std::int64_t screenSize);

// A coordinate the desktop would not tell, in a file name: "NA", the usual mark of a
// missing value. Never a number: 0 or the centre are real positions.
inline constexpr char UNKNOWN_COORDINATE[] = "NA";

// captureDir "/" count "-" time "-" x "-" y ".bmp": a negative x or y keeps its minus sign
// after the separating hyphen ("7-140359--12-300.bmp"); an unknown one is written
// UNKNOWN_COORDINATE ("12-140359-NA-NA.bmp").
std::string ComposeCaptureFileName(const std::string& captureDir, std::int32_t count,
                                   const std::string& timeOfDay, std::optional<std::int64_t> imageX,
                                   std::optional<std::int64_t> imageY);

}  // namespace KestrelMain
