// The six persisted settings: their keys, defaults and text forms, and the start-up load.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>

namespace KestrelMain {

inline const QString KEY_BASE_PATH = QStringLiteral("BasePath");
inline const QString KEY_USE_TIMER = QStringLiteral("UseTimer");
inline const QString KEY_TIMER_PERIOD = QStringLiteral("TimerPeriod");
inline const QString KEY_OUTPUT_WIDTH = QStringLiteral("OutputWidth");
inline const QString KEY_OUTPUT_HEIGHT = QStringLiteral("OutputHeight");
inline const QString KEY_USE_HOTKEY = QStringLiteral("UseHotkey");

inline constexpr std::int16_t DEFAULT_USE_TIMER = 0;
inline constexpr float DEFAULT_TIMER_PERIOD = 2.0f;
inline constexpr std::int16_t DEFAULT_OUTPUT_WIDTH = 800;
inline constexpr std::int16_t DEFAULT_OUTPUT_HEIGHT = 600;
inline constexpr std::int16_t DEFAULT_USE_HOTKEY = 0;

// The user's Pictures directory when it exists, else the home directory, with a
// trailing "/".
QString DefaultBasePath();

// A stored 16-bit setting: its value, or the default when the text is not a number or
// does not fit (problem then says why).
struct StoredInt16 {
    std::int16_t Value;
    QString Problem;
};
StoredInt16 Int16FromStore(const QString& text, std::int16_t defaultValue);

struct StoredSingle {
    float Value;
    QString Problem;
};
StoredSingle SingleFromStore(const QString& text, float defaultValue);

// Reads each setting with its default into AppState and writes it straight back in its
// normal text form.
void LoadSettings();

// Writes one setting in its text form. A setting that cannot be written is reported and
// stays applied for this run.
void StoreSetting(const QString& key, const QString& text);

}  // namespace KestrelMain
