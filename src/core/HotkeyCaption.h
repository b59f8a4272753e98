// HotkeyLbl's captions: at start-up, and after the hot-key setting changed in the dialog.
// Each names the trigger the desktop bound: Ctrl-F, unless a desktop that asks its user
// first bound another.
#pragma once

#include <cstdint>
#include <string>

namespace KestrelMain {

inline constexpr char DEFAULT_HOTKEY_TRIGGER[] = "Ctrl-F";

inline constexpr char CAPTION_HOTKEY_ON[] = "Ctrl-F is the Hot Key";
inline constexpr char CAPTION_HOTKEY_OFF[] = "Hot Key is Disabled";

inline constexpr char CAPTION_HOTKEY_KEPT[] = "Ctrl-F is the Hot Key.";
inline constexpr char CAPTION_HOTKEY_ENDS[] =
    "Ctrl-F is the Hot Key.  Hot key will be disabled on next launch.";
inline constexpr char CAPTION_HOTKEY_STARTS[] =
    "Hot key is disabled.  Will be enabled on next launch.";
inline constexpr char CAPTION_HOTKEY_STAYS_OFF[] = "Hot key is disabled.";

// What HotkeyLbl is about this run: the trigger as bound, and whether the dialog has
// changed the setting (its captions then stand in for start-up's, for the rest of the run).
struct HotkeyLblState {
    std::string Trigger = DEFAULT_HOTKEY_TRIGGER;
    bool SettingChanged = false;
};

extern HotkeyLblState HotkeyLbl;

// A desktop's wording of the key it bound, as the captions spell keys: GNOME's
// "Press <Control>f" and KDE's "Ctrl+F" both read "Ctrl-F". A wording it cannot take apart
// is shown as the desktop gave it.
std::string ReadableTrigger(const std::string& wording);

// HotkeyLbl's caption after the hot-key setting was changed in the dialog.
std::string HotkeyCaptionAfterChange(std::int16_t hotkeyActive, std::int16_t useHotkey,
                                     const std::string& trigger = DEFAULT_HOTKEY_TRIGGER);

// The caption for AppState and HotkeyLbl as they are now.
std::string CurrentHotkeyCaption();

}  // namespace KestrelMain
