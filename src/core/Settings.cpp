#include "core/Settings.h"

#include "core/AppState.h"
#include "core/Numbers.h"
#include "core/seam/Services.h"

namespace KestrelMain {

StoredInt16 Int16FromStore(const std::string& text, std::int16_t defaultValue) {
    const auto number = ParseNumber(text, NumberText::Stored);
    if (!number)
        return {defaultValue, "is not a number"};
    const auto value = ToInt16(*number);
    if (!value)
        return {defaultValue, "does not fit in -32768..32767"};
    return {*value, std::string()};
}

StoredSingle SingleFromStore(const std::string& text, float defaultValue) {
    const auto number = ParseNumber(text, NumberText::Stored);
    if (!number)
        return {defaultValue, "is not a number"};
    const auto value = ToSingle(*number);
    if (!value)
        return {defaultValue, "does not fit in single precision"};
    return {*value, std::string()};
}

std::string Int16ToText(std::int16_t value) {
    return std::to_string(value);
}

void StoreSetting(const std::string& key, const std::string& text) {
    const Seam::Services& services = Seam::Installed();
    if (auto failed = services.Settings->Write(key, text))
        services.Errors->Report(*failed);
}

namespace {

void ReportReplaced(const std::string& key, const std::string& text, const std::string& problem,
                    const std::string& replacement) {
    const Seam::Services& services = Seam::Installed();
    // Typographic quotes as UTF-8 bytes, whatever the compiler's execution character set.
    services.Errors->Note("the stored " + key + " \xE2\x80\x9C" + text + "\xE2\x80\x9D " + problem +
                          "; using " + replacement + " (" + services.Settings->Location() + ")");
}

std::int16_t LoadInt16(const std::string& key, std::int16_t defaultValue) {
    const std::string defaultText = Int16ToText(defaultValue);
    const std::string text = Seam::Installed().Settings->Read(key, defaultText);
    const StoredInt16 stored = Int16FromStore(text, defaultValue);
    if (!stored.Problem.empty())
        ReportReplaced(key, text, stored.Problem, defaultText);
    StoreSetting(key, Int16ToText(stored.Value));
    return stored.Value;
}

}  // namespace

void LoadSettings(const std::string& defaultBasePath) {
    const Seam::Services& services = Seam::Installed();
    Seam::SettingsBatch batch(*services.Settings);
    AppState.BasePath = services.Settings->Read(KEY_BASE_PATH, defaultBasePath);
    StoreSetting(KEY_BASE_PATH, AppState.BasePath);

    AppState.UseTimer = LoadInt16(KEY_USE_TIMER, DEFAULT_USE_TIMER);

    {
        const std::string defaultText = SingleToText(DEFAULT_TIMER_PERIOD);
        const std::string text = services.Settings->Read(KEY_TIMER_PERIOD, defaultText);
        const StoredSingle stored = SingleFromStore(text, DEFAULT_TIMER_PERIOD);
        if (!stored.Problem.empty())
            ReportReplaced(KEY_TIMER_PERIOD, text, stored.Problem, defaultText);
        AppState.TimerPeriod = stored.Value;
        StoreSetting(KEY_TIMER_PERIOD, SingleToText(AppState.TimerPeriod));
    }

    AppState.OutputWidth = LoadInt16(KEY_OUTPUT_WIDTH, DEFAULT_OUTPUT_WIDTH);
    AppState.OutputHeight = LoadInt16(KEY_OUTPUT_HEIGHT, DEFAULT_OUTPUT_HEIGHT);
    AppState.HotkeyActive = LoadInt16(KEY_USE_HOTKEY, DEFAULT_USE_HOTKEY);
    if (auto failed = batch.Commit())
        services.Errors->Report(*failed);
}

}  // namespace KestrelMain
