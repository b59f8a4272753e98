// The name of a capture file and the pointer position it records, as pure functions.
#pragma once

#include <QString>

#include <cstdint>

namespace Capture {

// A pointer coordinate in image pixels: outputSize x pointer / screenSize, truncated
// toward zero. The product is taken in 64 bits, so a pointer far out on a large desktop
// cannot overflow it. A screen size that is not positive gives 0.
std::int64_t ScaleToImage(std::int64_t outputSize, std::int64_t pointer, std::int64_t screenSize);

// captureDir "/" count "-" time "-" x "-" y ".bmp": a negative x or y keeps its minus sign
// after the separating hyphen ("7-140359--12-300.bmp").
QString ComposeCaptureFileName(const QString& captureDir, std::int32_t count,
                               const QString& timeOfDay, std::int64_t imageX, std::int64_t imageY);

}  // namespace Capture
