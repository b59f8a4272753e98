#include "core/HotkeyCaption.h"

#include "core/AppState.h"

#include <cctype>
#include <optional>
#include <string_view>
#include <utility>

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

// A modifier by any of the names desktops give it, or nothing.
std::optional<std::string_view> ModifierName(std::string_view name) {
    static constexpr std::pair<std::string_view, std::string_view> NAMES[] = {
        {"control", "Ctrl"}, {"ctrl", "Ctrl"}, {"primary", "Ctrl"}, {"shift", "Shift"},
        {"alt", "Alt"},      {"mod1", "Alt"},  {"super", "Super"},  {"meta", "Meta"}};
    std::string lower(name);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& [given, shown] : NAMES) {
        if (lower == given)
            return shown;
    }
    return std::nullopt;
}

}  // namespace

std::string ReadableTrigger(const std::string& wording) {
    std::string_view rest = wording;
    // GNOME phrases it as an instruction.
    if (rest.starts_with("Press "))
        rest.remove_prefix(6);
    std::string readable;
    // Modifiers as GTK writes them ("<Control>") or as KDE does ("Ctrl+"), then the key.
    while (!rest.empty()) {
        std::size_t end = std::string_view::npos;
        std::string_view name;
        if (rest.front() == '<') {
            end = rest.find('>');
            if (end == std::string_view::npos)
                return wording;
            name = rest.substr(1, end - 1);
        } else if (const std::size_t plus = rest.find('+');
                   plus != std::string_view::npos && plus > 0 && plus + 1 < rest.size()) {
            end = plus;
            name = rest.substr(0, plus);
        } else {
            break;
        }
        const auto modifier = ModifierName(name);
        if (!modifier)
            return wording;
        readable += std::string(*modifier) + "-";
        rest.remove_prefix(end + 1);
    }
    if (readable.empty() || rest.empty() || rest.find_first_of(" <>+") != std::string_view::npos)
        return wording;
    std::string key(rest);
    if (key.size() == 1)
        key[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
    return readable + key;
}

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
