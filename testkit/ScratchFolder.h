// A folder of a test's or a benchmark's own: a new name each time, readable by the owner
// alone, and removed with all it holds when the owner is done, read-only folders included
// (the fault tests leave some behind on purpose).
#pragma once

#include <filesystem>
#include <string>

namespace TestKit {

class ScratchFolder {
  public:
    // Below `base`, named after `prefix`; throws std::runtime_error when none can be made.
    explicit ScratchFolder(
        const std::string& prefix = "kestrel-test",
        const std::filesystem::path& base = std::filesystem::temp_directory_path());
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

  private:
    std::filesystem::path path_;
};

}  // namespace TestKit
