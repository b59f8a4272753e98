// The six persisted settings: their keys, defaults and text forms, and the start-up load.
#pragma once

#include <cstdint>
#include <string>

namespace KestrelMain {

inline constexpr char KEY_BASE_PATH[] = "BasePath";
inline constexpr char KEY_USE_TIMER[] = "UseTimer";
inline constexpr char KEY_TIMER_PERIOD[] = "TimerPeriod";
inline constexpr char KEY_OUTPUT_WIDTH[] = "OutputWidth";
inline constexpr char KEY_OUTPUT_HEIGHT[] = "OutputHeight";
inline constexpr char KEY_USE_HOTKEY[] = "UseHotkey";

inline constexpr std::int16_t DEFAULT_USE_TIMER = 0;
inline constexpr float DEFAULT_TIMER_PERIOD = 2.0f;
inline constexpr std::int16_t DEFAULT_OUTPUT_WIDTH = 800;
inline constexpr std::int16_t DEFAULT_OUTPUT_HEIGHT = 600;
inline constexpr std::int16_t DEFAULT_USE_HOTKEY = 0;

// A stored 16-bit setting: its value, or the default when the text is not a number or
// does not fit (problem then says why).
struct StoredInt16 {
    std::int16_t Value;
    std::string Problem;
};
StoredInt16 Int16FromStore(const std::string& text, std::int16_t defaultValue);

struct StoredSingle {
    float Value;
    std::string Problem;
};
StoredSingle SingleFromStore(const std::string& text, float defaultValue);

// The normal text form of a 16-bit setting, "800" or "-5"; a period's is SingleToText's.
std::string Int16ToText(std::int16_t value);

// Reads each setting with its default into AppState and writes it straight back in its
// normal text form, all six in one batch of the installed store. defaultBasePath is the
// desktop's choice for a base directory when none is stored. A stored value that does not
// convert takes its default and is noted on the installed report.
void LoadSettings(const std::string& defaultBasePath);

// Writes one setting in its text form to the installed store. A setting that cannot be
// written is reported and stays applied for this run.
void StoreSetting(const std::string& key, const std::string& text);

}  // namespace KestrelMain
