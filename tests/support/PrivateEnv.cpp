#include "support/PrivateEnv.h"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace TestSupport {

namespace fs = std::filesystem;

PrivateEnvironment::PrivateEnvironment() {
    fs::create_directories(Pictures());
    fs::create_directories(ConfigHome());
    fs::create_directories(root_ / "cache");
    fs::create_directories(root_ / "data");
    fs::create_directory(RuntimeDir());
    fs::permissions(RuntimeDir(), fs::perms::owner_all, fs::perm_options::replace);
}

PrivateEnvironment::~PrivateEnvironment() = default;

void PrivateEnvironment::WriteSettings(const std::map<std::string, std::string>& values) const {
    std::ofstream out(SettingsFile(), std::ios::trunc);
    out << "[Settings]\n";
    for (const auto& [key, value] : values) out << key << "=" << value << "\n";
}

std::string PrivateEnvironment::ReadSettingsText() const {
    std::ifstream in(SettingsFile());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::map<std::string, std::string> PrivateEnvironment::ReadSettings() const {
    std::map<std::string, std::string> values;
    std::istringstream in(ReadSettingsText());
    std::string line;
    bool inSettings = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.front() == '[') {
            inSettings = line == "[Settings]";
            continue;
        }
        const auto eq = line.find('=');
        if (inSettings && eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

std::map<std::string, std::string> PrivateEnvironment::Variables(const std::string& display) const {
    return {{"HOME", Home().string()},
            {"XDG_CONFIG_HOME", ConfigHome().string()},
            {"XDG_RUNTIME_DIR", RuntimeDir().string()},
            {"XDG_CACHE_HOME", (root_ / "cache").string()},
            {"XDG_DATA_HOME", (root_ / "data").string()},
            {"XDG_CONFIG_DIRS", (root_ / "etc-xdg").string()},
            {"DISPLAY", display},
            {"QT_QPA_PLATFORM", "xcb"},
            {"LC_ALL", "C.UTF-8"}};
}

void PrivateEnvironment::ApplyToThisProcess(const std::string& display) const {
    for (const auto& [name, value] : Variables(display)) setenv(name.c_str(), value.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("XDG_SESSION_TYPE");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

std::vector<std::string> PrivateEnvironment::ChildEnvironment(const std::string& display) const {
    const auto replaced = Variables(display);
    std::vector<std::string> result;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (replaced.count(name) != 0 || name == "WAYLAND_DISPLAY" || name == "XDG_SESSION_TYPE" ||
            name == "XAUTHORITY" || name == "DBUS_SESSION_BUS_ADDRESS") {
            continue;
        }
        result.push_back(entry);
    }
    for (const auto& [name, value] : replaced) result.push_back(name + "=" + value);
    return result;
}

}  // namespace TestSupport
