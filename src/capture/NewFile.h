// Writes a file that must not exist yet, all or nothing: the bytes go to a temporary file
// in the same directory, which takes the final name only when complete and only if no
// file of that name exists. A failed write leaves no file behind.
#pragma once

#include "platform/Failure.h"

#include <QString>

#include <cstdint>
#include <span>

namespace Capture {

// The parts are written one after another. Where the file system offers unnamed files,
// the temporary file has no name at all until it is complete; elsewhere it has a hidden
// name next to the target (WriteNewFileViaTemporaryName).
Platform::Status WriteNewFile(const QString& path,
                              std::span<const std::span<const std::uint8_t>> parts);

// The route for file systems without unnamed files, on its own.
Platform::Status WriteNewFileViaTemporaryName(const QString& path,
                                              std::span<const std::span<const std::uint8_t>> parts);

}  // namespace Capture
