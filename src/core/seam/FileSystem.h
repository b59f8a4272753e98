// The file system as the core uses it: one new directory at a time, a test for a folder,
// and new files written whole or not at all, never over an existing one. Failures carry
// what failed, the path and the system's own reason.
#pragma once

#include "core/Failure.h"

#include <cstdint>
#include <filesystem>
#include <span>

namespace Seam {

// The bytes of a file, in the order they are written: a header, then the pixels, without
// joining them first.
using FileParts = std::span<const std::span<const std::uint8_t>>;

class FileSystem {
  public:
    // Creates exactly this one directory; its parent must exist and it must not.
    virtual KestrelMain::Status CreateOneDirectory(const std::filesystem::path& path) = 0;

    // True exactly when a directory of that path exists (following symbolic links).
    virtual bool FolderExists(const std::filesystem::path& path) = 0;

    // A file that must not exist yet, all or nothing: no file of that name is visible
    // before it is complete, and a failed write leaves none behind.
    virtual KestrelMain::Status SaveNewFile(const std::filesystem::path& path, FileParts parts) = 0;

    // Returns once every file saved so far is complete and named. A file system may finish a
    // save after SaveNewFile returned (its flush to the disk on a thread of its own), and
    // report a failure there itself; the program waits here before it ends.
    virtual void WaitForSaves() {}

  protected:
    ~FileSystem() = default;
};

}  // namespace Seam
