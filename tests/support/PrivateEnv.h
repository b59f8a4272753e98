// A private HOME and XDG directories for one test, so nothing reads or writes the real
// user's settings or pictures. Removed again when the object goes, read-only folders too.
#pragma once

#include "testkit/ScratchFolder.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace TestSupport {

class PrivateEnvironment {
  public:
    PrivateEnvironment();
    ~PrivateEnvironment();
    PrivateEnvironment(const PrivateEnvironment&) = delete;
    PrivateEnvironment& operator=(const PrivateEnvironment&) = delete;

    std::filesystem::path Root() const { return root_; }
    std::filesystem::path Home() const { return root_ / "home"; }
    std::filesystem::path Pictures() const { return Home() / "Pictures"; }
    std::filesystem::path ConfigHome() const { return root_ / "config"; }
    std::filesystem::path RuntimeDir() const { return root_ / "runtime"; }
    std::filesystem::path SettingsFile() const { return ConfigHome() / "Kestrel.conf"; }

    // Writes the [Settings] section of the settings file with exactly these keys.
    void WriteSettings(const std::map<std::string, std::string>& values) const;
    // The [Settings] section as stored; empty when there is no file.
    std::map<std::string, std::string> ReadSettings() const;
    std::string ReadSettingsText() const;

    // Points HOME, XDG_* and DISPLAY of this process at the private directories.
    void ApplyToThisProcess(const std::string& display) const;
    // The environment for a child: this process's, with HOME, XDG_* and DISPLAY replaced
    // and no session bus (a test that wants one gives its own).
    std::vector<std::string> ChildEnvironment(const std::string& display) const;

  private:
    std::map<std::string, std::string> Variables(const std::string& display) const;
    TestKit::ScratchFolder scratch_{"kestrel-test"};
    const std::filesystem::path root_ = scratch_.Path();
};

}  // namespace TestSupport
