#include "testkit/ScratchFolder.h"

#include <random>
#include <stdexcept>
#include <system_error>

namespace TestKit {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(const std::string& prefix, const fs::path& base) {
    // create_directory is the atomic claim: a name another process took is tried again.
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = base / (prefix + "-" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, error);
            path_ = candidate;
            return;
        }
        if (error)
            throw std::runtime_error("cannot make a folder in " + base.string() + ": " +
                                     error.message());
    }
    throw std::runtime_error("no free folder name in " + base.string());
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(path_, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ignored);
}

}  // namespace TestKit
