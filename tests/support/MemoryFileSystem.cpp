#include "support/MemoryFileSystem.h"

#include "core/PathText.h"

#include <stdexcept>

namespace TestSupport {

namespace {

std::filesystem::path Normal(const std::filesystem::path& path) {
    std::filesystem::path normal = path.lexically_normal();
    // "/a/b/" and "/a/b" name the same directory.
    if (!normal.has_filename() && normal.has_relative_path())
        normal = normal.parent_path();
    return normal;
}

KestrelMain::Failure Failed(const char* what, const std::filesystem::path& path,
                            const char* reason) {
    return KestrelMain::Failure{what, KestrelMain::PathText(path), reason};
}

}  // namespace

MemoryFileSystem::MemoryFileSystem() {
    directories_.insert(Normal("/"));
}

void MemoryFileSystem::AddDirectories(const std::filesystem::path& path) {
    for (std::filesystem::path p = Normal(path); !directories_.contains(p); p = p.parent_path()) {
        directories_.insert(p);
        if (p == p.parent_path())
            break;
    }
}

void MemoryFileSystem::RemoveDirectory(const std::filesystem::path& path) {
    directories_.erase(Normal(path));
}

bool MemoryFileSystem::HasFile(const std::filesystem::path& path) const {
    return files_.contains(Normal(path));
}

const std::vector<std::uint8_t>& MemoryFileSystem::FileBytes(
    const std::filesystem::path& path) const {
    const auto found = files_.find(Normal(path));
    if (found == files_.end())
        throw std::out_of_range("no file " + KestrelMain::PathText(path));
    return found->second;
}

std::vector<std::string> MemoryFileSystem::FileNames(const std::filesystem::path& directory) const {
    std::vector<std::string> names;
    for (const auto& [path, bytes] : files_) {
        if (path.parent_path() == Normal(directory))
            names.push_back(KestrelMain::PathText(path.filename()));
    }
    return names;
}

KestrelMain::Status MemoryFileSystem::CreateOneDirectory(const std::filesystem::path& path) {
    constexpr const char* WHAT = "Cannot create the capture directory";
    const std::filesystem::path normal = Normal(path);
    if (path.empty() || !directories_.contains(normal.parent_path()))
        return Failed(WHAT, path, "No such file or directory");
    if (directories_.contains(normal) || files_.contains(normal))
        return Failed(WHAT, path, "File exists");
    directories_.insert(normal);
    return std::nullopt;
}

bool MemoryFileSystem::FolderExists(const std::filesystem::path& path) {
    return !path.empty() && directories_.contains(Normal(path));
}

KestrelMain::Status MemoryFileSystem::SaveNewFile(const std::filesystem::path& path,
                                                  Seam::FileParts parts) {
    constexpr const char* WHAT = "Cannot save the capture";
    const std::filesystem::path normal = Normal(path);
    if (saveFailure_)
        return Failed(WHAT, path, saveFailure_->c_str());
    if (!directories_.contains(normal.parent_path()))
        return Failed(WHAT, path, "No such file or directory");
    if (files_.contains(normal) || directories_.contains(normal))
        return Failed(WHAT, path, "File exists");
    std::vector<std::uint8_t> bytes;
    for (const auto& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
    files_.emplace(normal, std::move(bytes));
    return std::nullopt;
}

}  // namespace TestSupport
