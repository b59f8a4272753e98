// A path as UTF-8 text, for messages and names: the core's text is always UTF-8, while
// a path keeps the system's own encoding (wide characters on Windows).
#pragma once

#include <filesystem>
#include <string>

namespace KestrelMain {

inline std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The inverse: UTF-8 text naming a path.
inline std::filesystem::path TextPath(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace KestrelMain
