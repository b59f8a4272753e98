// Files on a POSIX system. A new file is written all or nothing: the bytes go to a
// temporary file in the same directory, which takes the final name only when complete and
// on the disk (so not even a power cut leaves a named, incomplete file), and only if no
// file of that name exists. A failed write leaves no file behind.
#pragma once

#include "core/Failure.h"
#include "core/seam/FileSystem.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace Platform::Posix {

// Makes a file's written bytes reach the disk: 0, or the errno of the failure.
using DataFlush = int (*)(int fd);
int FlushToDisk(int fd);

class PosixFileSystem final : public Seam::FileSystem {
  public:
    // Every save complete, on the disk and named, when SaveNewFile returns.
    PosixFileSystem();

    // Saves return once their bytes are copied; the file is written, flushed to the disk and
    // named as above on a thread of the file system's own, so a capture never waits for the
    // disk (a flush takes a millisecond or more, far longer on a slow or busy disk). One save
    // at a time is in flight: the next waits for it, so names appear in the order of the
    // saves. A save that fails there leaves no file and is handed to `late`, on that thread.
    using LateFailure = std::function<void(const KestrelMain::Failure&)>;
    explicit PosixFileSystem(LateFailure late, DataFlush flush = FlushToDisk);
    ~PosixFileSystem();

    KestrelMain::Status CreateOneDirectory(const std::filesystem::path& path) override;
    bool FolderExists(const std::filesystem::path& path) override;
    KestrelMain::Status SaveNewFile(const std::filesystem::path& path,
                                    Seam::FileParts parts) override;
    void WaitForSaves() override;

  private:
    class Publisher;
    std::unique_ptr<Publisher> publisher_;
};

// The parts are written one after another. Where the file system offers unnamed files,
// the temporary file has no name at all until it is complete; elsewhere it has a hidden
// name next to the target (WriteNewFileViaTemporaryName).
KestrelMain::Status WriteNewFile(const std::filesystem::path& path, Seam::FileParts parts);

// The route for file systems without unnamed files, on its own.
KestrelMain::Status WriteNewFileViaTemporaryName(const std::filesystem::path& path,
                                                 Seam::FileParts parts);

// The two routes, the flush given: the unnamed file (falling back to the temporary name
// where the file system has none) or the temporary name alone.
enum class FileRoute { Unnamed, TemporaryName };
KestrelMain::Status WriteNewFileWith(const std::filesystem::path& path, Seam::FileParts parts,
                                     FileRoute route, DataFlush flush);

}  // namespace Platform::Posix
