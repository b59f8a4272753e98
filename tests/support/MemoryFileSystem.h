// A file system held in memory, with the rules of the real one that the core relies on:
// a directory is created only under an existing parent and never twice, a new file only
// in an existing directory and never over an existing file. A test can make the next
// operations fail with a reason of its choosing, as a full disk or a removed directory
// would.
#pragma once

#include "core/seam/FileSystem.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace TestSupport {

class MemoryFileSystem final : public Seam::FileSystem {
  public:
    // Starts with the root directory "/" only.
    MemoryFileSystem();

    // Adds a directory and its parents, as if they were there before the program ran.
    void AddDirectories(const std::filesystem::path& path);
    void RemoveDirectory(const std::filesystem::path& path);
    // Every save fails with this reason until it is cleared (std::nullopt).
    void FailSaves(std::optional<std::string> reason) { saveFailure_ = std::move(reason); }

    bool HasFile(const std::filesystem::path& path) const;
    const std::vector<std::uint8_t>& FileBytes(const std::filesystem::path& path) const;
    // The files in one directory, by name.
    std::vector<std::string> FileNames(const std::filesystem::path& directory) const;
    std::size_t FileCount() const { return files_.size(); }

    KestrelMain::Status CreateOneDirectory(const std::filesystem::path& path) override;
    bool FolderExists(const std::filesystem::path& path) override;
    KestrelMain::Status SaveNewFile(const std::filesystem::path& path,
                                    Seam::FileParts parts) override;
    void WaitForSaves() override {
        if (Log != nullptr)
            Log->push_back("WaitForSaves");
    }

    std::vector<std::string>* Log = nullptr;

  private:
    std::set<std::filesystem::path> directories_;
    std::map<std::filesystem::path, std::vector<std::uint8_t>> files_;
    std::optional<std::string> saveFailure_;
};

}  // namespace TestSupport
