// Files on Windows, every path wide at the system's edge so any letters work. A new file
// is written under a hidden temporary name in its own directory and moved to its name
// only when complete, by a move that never replaces: nothing half-written is ever seen
// under the final name and an existing file is never overwritten.
#pragma once

#include "core/seam/FileSystem.h"

namespace Platform::Win32 {

class Win32FileSystem final : public Seam::FileSystem {
  public:
    KestrelMain::Status CreateOneDirectory(const std::filesystem::path& path) override;
    bool FolderExists(const std::filesystem::path& path) override;
    KestrelMain::Status SaveNewFile(const std::filesystem::path& path,
                                    Seam::FileParts parts) override;
};

}  // namespace Platform::Win32
