// Files on a POSIX system. A new file is written all or nothing: the bytes go to a
// temporary file in the same directory, which takes the final name only when complete and
// on the disk (so not even a power cut leaves a named, incomplete file), and only if no
// file of that name exists. A failed write leaves no file behind.
#pragma once

#include "core/Failure.h"
#include "core/seam/FileSystem.h"

#include <filesystem>
#include <string>

namespace Platform::Posix {

class PosixFileSystem final : public Seam::FileSystem {
  public:
    KestrelMain::Status CreateOneDirectory(const std::filesystem::path& path) override;
    bool FolderExists(const std::filesystem::path& path) override;
    KestrelMain::Status SaveNewFile(const std::filesystem::path& path,
                                    Seam::FileParts parts) override;
};

// The parts are written one after another. Where the file system offers unnamed files,
// the temporary file has no name at all until it is complete; elsewhere it has a hidden
// name next to the target (WriteNewFileViaTemporaryName).
KestrelMain::Status WriteNewFile(const std::filesystem::path& path, Seam::FileParts parts);

// The route for file systems without unnamed files, on its own.
KestrelMain::Status WriteNewFileViaTemporaryName(const std::filesystem::path& path,
                                                 Seam::FileParts parts);

// Makes a file's written bytes reach the disk: 0, or the errno of the failure.
using DataFlush = int (*)(int fd);
int FlushToDisk(int fd);

// The two routes, the flush given: the unnamed file (falling back to the temporary name
// where the file system has none) or the temporary name alone.
enum class FileRoute { Unnamed, TemporaryName };
KestrelMain::Status WriteNewFileWith(const std::filesystem::path& path, Seam::FileParts parts,
                                     FileRoute route, DataFlush flush);

}  // namespace Platform::Posix
