// The configuration dialog's OK on arbitrary texts and an arbitrary current state: either
// one of the dialog's messages and nothing to apply, or changes that make valid settings,
// which the next start-up reads back unchanged and which a second OK leaves as they are.
//
// Input: one byte of check-box and state flags, two 16-bit sizes and a 32-bit float for the
// current state, then the width, height, period, base directory and current base directory
// texts separated by newlines.
#include "core/AppState.h"
#include "core/ConfigRules.h"
#include "core/Numbers.h"
#include "core/Settings.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

using KestrelMain::AppStateRecord;

void Require(bool condition) {
    if (!condition)
        std::abort();
}

// A deterministic stand-in for the file system: only absolute paths exist.
bool FolderExists(const std::string& path) {
    return path.starts_with('/');
}

const char* const MESSAGES[] = {
    KestrelMain::MSG_INVALID_WIDTH,       KestrelMain::MSG_INVALID_HEIGHT,
    KestrelMain::MSG_INVALID_PERIOD,      KestrelMain::MSG_PERIOD_NOT_POSITIVE,
    KestrelMain::MSG_INVALID_DIRECTORY,   KestrelMain::MSG_WIDTH_OUT_OF_RANGE,
    KestrelMain::MSG_HEIGHT_OUT_OF_RANGE, KestrelMain::MSG_PERIOD_OUT_OF_RANGE,
};

bool IsDialogMessage(const std::string& text) {
    for (const char* message : MESSAGES) {
        if (text == message)
            return true;
    }
    return false;
}

// The typed text as the dialog reads it, with a locale whose separator is the comma.
std::optional<double> Typed(const std::string& text) {
    return KestrelMain::ParseNumber(text, KestrelMain::NumberText::Typed, ",");
}

// What OK does with accepted changes: the fields of the state take the new values.
AppStateRecord Applied(const KestrelMain::ConfigChanges& changes, AppStateRecord state) {
    if (changes.BasePathChanged)
        state.BasePath = changes.BasePath;
    if (changes.WidthChanged)
        state.OutputWidth = changes.OutputWidth;
    if (changes.HeightChanged)
        state.OutputHeight = changes.OutputHeight;
    if (changes.PeriodChanged)
        state.TimerPeriod = changes.TimerPeriod;
    if (changes.UseTimerChanged)
        state.UseTimer = changes.UseTimer;
    if (changes.UseHotkeyChanged)
        state.UseHotkey = changes.UseHotkey;
    return state;
}

// A size the dialog accepted: the typed number, rounded to the nearest integer.
void CheckSize(const std::string& text, bool changed, std::int16_t before, std::int16_t after) {
    const double typed = *Typed(text);
    if (!changed) {
        Require(typed == static_cast<double>(before) && after == before);
        return;
    }
    Require(std::fabs(typed - static_cast<double>(after)) <= 0.5);
    Require(KestrelMain::ToInt16(typed).Ok());
}

// What the next start-up would read from the stored text of an applied setting.
void CheckStoredForm(const AppStateRecord& state) {
    for (std::int16_t value :
         {state.OutputWidth, state.OutputHeight, state.UseTimer, state.UseHotkey}) {
        const auto stored = KestrelMain::Int16FromStore(KestrelMain::Int16ToText(value), 0);
        Require(stored.Problem.empty() && stored.Value == value);
    }
    const auto period =
        KestrelMain::SingleFromStore(KestrelMain::SingleToText(state.TimerPeriod), 0.0f);
    Require(period.Problem.empty() && period.Value == state.TimerPeriod);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t HEAD = 1 + 2 + 2 + 4;
    if (size < HEAD)
        return 0;
    const std::uint8_t flags = data[0];
    std::int16_t width = 0, height = 0;
    float period = 0;
    std::memcpy(&width, data + 1, sizeof width);
    std::memcpy(&height, data + 3, sizeof height);
    std::memcpy(&period, data + 5, sizeof period);
    // The settings load never yields a period that is not a finite number.
    if (!std::isfinite(period))
        period = KestrelMain::DEFAULT_TIMER_PERIOD;

    std::string texts[5];
    std::string_view rest(reinterpret_cast<const char*>(data + HEAD), size - HEAD);
    for (std::string& text : texts) {
        const std::size_t end = rest.find('\n');
        text = rest.substr(0, end);
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }

    AppStateRecord current;
    current.OutputWidth = width;
    current.OutputHeight = height;
    current.TimerPeriod = period;
    current.BasePath = texts[4];
    current.UseTimer = (flags & 4) != 0 ? 1 : 0;
    current.UseHotkey = (flags & 8) != 0 ? 1 : 0;
    current.HotkeyActive = (flags & 16) != 0 ? 1 : 0;

    KestrelMain::ConfigEntries entries;
    entries.WidthText = texts[0];
    entries.HeightText = texts[1];
    entries.PeriodText = texts[2];
    entries.BasePathText = texts[3];
    entries.UseTimerValue = (flags & 1) != 0 ? 1 : 0;
    entries.UseHotkeyValue = (flags & 2) != 0 ? 1 : 0;
    entries.DecimalPoint = ",";

    const KestrelMain::ConfigVerdict verdict =
        KestrelMain::JudgeConfigEntries(entries, current, FolderExists);
    const std::string firstProblem = KestrelMain::FirstEntryProblem(entries, FolderExists);
    if (!verdict.Accepted()) {
        Require(IsDialogMessage(verdict.Message));
        // A failed check is reported before anything about whether the entries fit.
        Require(firstProblem.empty() || verdict.Message == firstProblem);
        return 0;
    }
    Require(firstProblem.empty());

    const KestrelMain::ConfigChanges& changes = verdict.Changes;
    const AppStateRecord after = Applied(changes, current);
    CheckSize(entries.WidthText, changes.WidthChanged, current.OutputWidth, after.OutputWidth);
    CheckSize(entries.HeightText, changes.HeightChanged, current.OutputHeight, after.OutputHeight);

    Require(std::isfinite(after.TimerPeriod) && after.TimerPeriod > 0.0f);
    Require(after.TimerPeriod == static_cast<float>(*Typed(entries.PeriodText)));
    if (changes.PeriodChanged) {
        const auto interval = KestrelMain::TimerIntervalFromPeriod(after.TimerPeriod);
        Require(interval.Ok() && *interval >= 1);
    }

    Require(FolderExists(entries.BasePathText));
    if (changes.BasePathChanged) {
        Require(after.BasePath.ends_with('/'));
        Require(after.BasePath == entries.BasePathText ||
                after.BasePath == entries.BasePathText + '/');
    } else {
        Require(after.BasePath == entries.BasePathText);
    }
    Require(after.UseTimer == entries.UseTimerValue && after.UseHotkey == entries.UseHotkeyValue);
    const std::string caption =
        KestrelMain::HotkeyCaptionAfterChange(after.HotkeyActive, after.UseHotkey);
    Require(caption == KestrelMain::CAPTION_HOTKEY_KEPT ||
            caption == KestrelMain::CAPTION_HOTKEY_ENDS ||
            caption == KestrelMain::CAPTION_HOTKEY_STARTS ||
            caption == KestrelMain::CAPTION_HOTKEY_STAYS_OFF);
    CheckStoredForm(after);

    // The dialog shown again holds the applied settings; OK then changes nothing.
    KestrelMain::ConfigEntries again = entries;
    again.WidthText = KestrelMain::Int16ToText(after.OutputWidth);
    again.HeightText = KestrelMain::Int16ToText(after.OutputHeight);
    again.PeriodText = KestrelMain::SingleToText(after.TimerPeriod);
    again.BasePathText = after.BasePath;
    const KestrelMain::ConfigVerdict second =
        KestrelMain::JudgeConfigEntries(again, after, FolderExists);
    Require(second.Accepted() && !second.Changes.Any());
    return 0;
}
