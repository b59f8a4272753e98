#include "core/HotkeyCaption.h"

#include "core/AppState.h"

#include <string_view>

namespace KestrelMain {

HotkeyLblState HotkeyLbl;

namespace {

// The caption with the bound trigger in place of Ctrl-F; the rest stands as written.
std::string WithTrigger(std::string_view caption, const std::string& trigger) {
    const std::string_view ctrlF = DEFAULT_HOTKEY_TRIGGER;
    if (!caption.starts_with(ctrlF))
        return std::string(caption);
    return trigger + std::string(caption.substr(ctrlF.size()));
}

}  // namespace

std::string HotkeyCaptionAfterChange(std::int16_t hotkeyActive, std::int16_t useHotkey,
                                     const std::string& trigger) {
    if (hotkeyActive == 1)
        return WithTrigger(useHotkey == 1 ? CAPTION_HOTKEY_KEPT : CAPTION_HOTKEY_ENDS, trigger);
    return useHotkey == 1 ? CAPTION_HOTKEY_STARTS : CAPTION_HOTKEY_STAYS_OFF;
}

std::string CurrentHotkeyCaption() {
    if (HotkeyLbl.SettingChanged)
        return HotkeyCaptionAfterChange(AppState.HotkeyActive, AppState.UseHotkey,
                                        HotkeyLbl.Trigger);
    // The start-up caption says what was asked for, whether or not the desktop granted it.
    return AppState.HotkeyActive == 1 ? WithTrigger(CAPTION_HOTKEY_ON, HotkeyLbl.Trigger)
                                      : std::string(CAPTION_HOTKEY_OFF);
}

}  // namespace KestrelMain
