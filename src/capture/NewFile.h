// Writes a file that must not exist yet, all or nothing: the bytes go to a temporary file
// in the same directory, which takes the final name only when complete and only if no
// file of that name exists. A failed write leaves no file behind.
#pragma once

#include "platform/Failure.h"

#include <QString>

#include <cstdint>
#include <span>

namespace Capture {

// The parts are written one after another.
Platform::Status WriteNewFile(const QString& path,
                              std::span<const std::span<const std::uint8_t>> parts);

}  // namespace Capture
