// The file-system operations for callers that still hold their paths as QString: the
// same operations as Platform::FileSystem (platform/Files.h), on this system's files.
#pragma once

#include "platform/qt/Failure.h"

#include <QString>

namespace Platform {

// Creates exactly this one directory; its parent must exist and it must not.
Status CreateOneDirectory(const QString& path);

// True exactly when a directory of that path exists (following symbolic links).
bool FolderExists(const QString& path);

}  // namespace Platform
