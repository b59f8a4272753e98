// The run's state and settings, alive from start-up to the end of the program. Every
// part of Kestrel reads and writes its fields directly. Text is UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace KestrelMain {

struct AppStateRecord {
    std::string BasePath;    // ends in "/" normally; capture directories go under it
    std::string CaptureDir;  // full path of the current capture directory
    // Captures made in this run. 32 bits, not 16: a fast timer left running for hours passes
    // 32,767 captures, and numbering simply goes on up to 2,147,483,647.
    std::int32_t CaptureCount = 0;
    std::int16_t UseTimer = 0;     // 1: the timer makes captures
    std::int16_t OutputWidth = 0;  // size of every saved image, in pixels
    std::int16_t OutputHeight = 0;
    float TimerPeriod = 0;           // seconds between timer captures
    std::int16_t HotkeyActive = 0;   // UseHotkey as read at start-up: 1 when Ctrl+F was wanted
    std::int16_t UseHotkey = 0;      // as last configured; takes effect at the next start
    std::int16_t QuitRequested = 0;  // 0 false, -1 true
};

inline constexpr std::int16_t STATE_TRUE = -1;
inline constexpr std::int16_t STATE_FALSE = 0;

extern AppStateRecord AppState;

}  // namespace KestrelMain
