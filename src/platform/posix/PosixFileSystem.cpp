#include "platform/posix/PosixFileSystem.h"

#include "core/PathText.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixFileSizeSignal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace Platform::Posix {

namespace {

KestrelMain::Failure SaveFailure(const std::filesystem::path& path, int error) {
    return KestrelMain::Failure{"Cannot save the capture", KestrelMain::PathText(path),
                                ErrnoText(error)};
}

// 0 when everything was written, else the errno of the failure.
int WriteAll(int fd, Seam::FileParts parts) {
    std::vector<iovec> pending;
    for (const auto& part : parts) {
        if (!part.empty()) {
            pending.push_back(iovec{const_cast<std::uint8_t*>(part.data()), part.size()});
        }
    }
    std::size_t first = 0;
    while (first < pending.size()) {
        const int count = static_cast<int>(std::min<std::size_t>(pending.size() - first, IOV_MAX));
        const ssize_t written = writev(fd, pending.data() + first, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        auto left = static_cast<std::size_t>(written);
        while (first < pending.size() && left >= pending[first].iov_len) {
            left -= pending[first].iov_len;
            ++first;
        }
        if (left > 0) {
            pending[first].iov_base = static_cast<std::uint8_t*>(pending[first].iov_base) + left;
            pending[first].iov_len -= left;
        }
    }
    return 0;
}

// close() can report a write that failed late (on network file systems).
int CloseChecked(int fd) {
    return close(fd) == 0 ? 0 : errno;
}

enum class Outcome { Done, Failed, Unsupported };

// The new name made durable too, once the file it names is. Best effort: some file systems
// cannot sync a directory, and the capture is whole and named either way.
void FlushDirectory(const std::string& directory) {
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    while (fsync(fd) != 0 && errno == EINTR) {
    }
    close(fd);
}

// An unnamed file in the directory, linked under its name when complete and on the disk:
// nothing is ever visible before it is whole, not even after a crash or a power cut.
Outcome WriteUnnamed(const std::string& directory, const std::string& target, Seam::FileParts parts,
                     DataFlush flush, int& error) {
    const int fd = open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = errno;
        // Old kernels and some file systems (network, FAT) have no unnamed files.
        return (error == EOPNOTSUPP || error == EISDIR || error == EINVAL) ? Outcome::Unsupported
                                                                           : Outcome::Failed;
    }
    error = WriteAll(fd, parts);
    if (error == 0)
        error = flush(fd);
    if (error != 0) {
        close(fd);
        return Outcome::Failed;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        error = errno;
        close(fd);
        // Without /proc the file cannot be linked; the named route works without it.
        return error == EEXIST || error == ENOSPC || error == EDQUOT || error == EROFS ||
                       error == EACCES || error == EPERM || error == EMLINK
                   ? Outcome::Failed
                   : Outcome::Unsupported;
    }
    error = CloseChecked(fd);
    if (error != 0) {
        unlink(target.c_str());
        return Outcome::Failed;
    }
    FlushDirectory(directory);
    return Outcome::Done;
}

// A hidden temporary name in the directory, renamed to the final name without replacing
// a file that is already there.
int WriteNamed(const std::string& directory, const std::string& name, const std::string& target,
               Seam::FileParts parts, DataFlush flush) {
    // Created with the usual mode (0666 less the umask), as the final file should have.
    static unsigned serial = 0;
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = directory + "/." + name + "." + std::to_string(getpid()) + "-" +
                    std::to_string(serial++) + ".tmp";
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return errno;
    }
    if (fd < 0)
        return EEXIST;
    int error = WriteAll(fd, parts);
    if (error == 0)
        error = flush(fd);
    if (error != 0) {
        close(fd);
        unlink(temporary.c_str());
        return error;
    }
    error = CloseChecked(fd);
    if (error != 0) {
        unlink(temporary.c_str());
        return error;
    }
    if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        FlushDirectory(directory);
        return 0;
    }
    error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // No RENAME_NOREPLACE here: a hard link fails just as surely on an existing name.
        error = link(temporary.c_str(), target.c_str()) == 0 ? 0 : errno;
    }
    unlink(temporary.c_str());
    if (error == 0)
        FlushDirectory(directory);
    return error;
}

struct Target {
    std::string Path;
    std::string Directory;
    std::string Name;
};

Target Split(const std::filesystem::path& path) {
    Target target;
    target.Path = path.native();
    const std::size_t slash = target.Path.rfind('/');
    if (slash == std::string::npos) {
        target.Directory = ".";
        target.Name = target.Path;
    } else {
        target.Directory = slash == 0 ? std::string("/") : target.Path.substr(0, slash);
        target.Name = target.Path.substr(slash + 1);
    }
    return target;
}

}  // namespace

int FlushToDisk(int fd) {
    while (fdatasync(fd) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

KestrelMain::Status WriteNewFileWith(const std::filesystem::path& path, Seam::FileParts parts,
                                     FileRoute route, DataFlush flush) {
    IgnoreFileSizeSignal();
    const Target target = Split(path);
    if (target.Name.empty())
        return SaveFailure(path, EISDIR);
    int error = 0;
    if (route == FileRoute::Unnamed) {
        switch (WriteUnnamed(target.Directory, target.Path, parts, flush, error)) {
            case Outcome::Done:
                return std::nullopt;
            case Outcome::Failed:
                return SaveFailure(path, error);
            case Outcome::Unsupported:
                break;
        }
    }
    error = WriteNamed(target.Directory, target.Name, target.Path, parts, flush);
    if (error != 0)
        return SaveFailure(path, error);
    return std::nullopt;
}

KestrelMain::Status WriteNewFile(const std::filesystem::path& path, Seam::FileParts parts) {
    return WriteNewFileWith(path, parts, FileRoute::Unnamed, FlushToDisk);
}

KestrelMain::Status WriteNewFileViaTemporaryName(const std::filesystem::path& path,
                                                 Seam::FileParts parts) {
    return WriteNewFileWith(path, parts, FileRoute::TemporaryName, FlushToDisk);
}

KestrelMain::Status PosixFileSystem::CreateOneDirectory(const std::filesystem::path& path) {
    if (path.empty() || ::mkdir(path.c_str(), 0777) != 0) {
        const int error = path.empty() ? ENOENT : errno;
        return KestrelMain::Failure{"Cannot create the capture directory",
                                    KestrelMain::PathText(path), ErrnoText(error)};
    }
    return std::nullopt;
}

bool PosixFileSystem::FolderExists(const std::filesystem::path& path) {
    if (path.empty())
        return false;
    struct stat info = {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// One save at a time written, flushed and named on a thread of its own, from a copy of its
// bytes: the caller's picture is gone once SaveNewFile returns. The copy's buffer is kept
// for the next save, which is the same size.
class PosixFileSystem::Publisher {
  public:
    Publisher(LateFailure late, DataFlush flush)
        : late_(std::move(late)), flush_(flush), thread_([this] { Run(); }) {}

    ~Publisher() {
        {
            std::unique_lock lock(mutex_);
            idle_.wait(lock, [this] { return !job_; });
            stopping_ = true;
        }
        work_.notify_one();
        thread_.join();
    }

    // Waits for the save before, so the names appear in the order of the saves.
    void Hand(const std::filesystem::path& path, Seam::FileParts parts) {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return !job_; });
        bytes_.clear();
        for (const auto& part : parts) bytes_.insert(bytes_.end(), part.begin(), part.end());
        job_ = path;
        work_.notify_one();
    }

    void WaitUntilIdle() {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return !job_; });
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_.wait(lock, [this] { return job_ || stopping_; });
            if (!job_)
                return;
            // The buffer and the path stay as they are until the job is cleared below.
            lock.unlock();
            const std::span<const std::uint8_t> whole[] = {bytes_};
            if (auto failed = WriteNewFileWith(*job_, whole, FileRoute::Unnamed, flush_))
                late_(*failed);
            lock.lock();
            job_.reset();
            idle_.notify_all();
        }
    }

    const LateFailure late_;
    const DataFlush flush_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    std::optional<std::filesystem::path> job_;  // from its handing over until it is done
    std::vector<std::uint8_t> bytes_;
    bool stopping_ = false;
    std::thread thread_;  // last: it starts once everything it uses is there
};

PosixFileSystem::PosixFileSystem() = default;

PosixFileSystem::PosixFileSystem(LateFailure late, DataFlush flush)
    : publisher_(std::make_unique<Publisher>(std::move(late), flush)) {}

PosixFileSystem::~PosixFileSystem() = default;

KestrelMain::Status PosixFileSystem::SaveNewFile(const std::filesystem::path& path,
                                                 Seam::FileParts parts) {
    if (!publisher_)
        return WriteNewFile(path, parts);
    publisher_->Hand(path, parts);
    return std::nullopt;
}

void PosixFileSystem::WaitForSaves() {
    if (publisher_)
        publisher_->WaitUntilIdle();
}

}  // namespace Platform::Posix
