#include "core/ConfigRules.h"

#include "core/CaptureDirectory.h"
#include "core/Numbers.h"
#include "core/PathText.h"
#include "core/Settings.h"
#include "core/seam/Services.h"

#include <optional>

namespace KestrelMain {

namespace {

std::optional<double> Typed(const std::string& text, const ConfigEntries& entries) {
    return ParseNumber(text, NumberText::Typed, entries.DecimalPoint);
}

// A size that differs from the current one must become a 16-bit integer; one that does not
// differ equals an integer already in range.
bool SizeFits(double typed, std::int16_t current, std::int16_t& converted) {
    if (typed == static_cast<double>(current))
        return true;
    const auto value = ToInt16(typed);
    if (!value)
        return false;
    converted = *value;
    return true;
}

}  // namespace

std::string FirstEntryProblem(const ConfigEntries& entries, const FolderExistsTest& folderExists) {
    if (!Typed(entries.WidthText, entries))
        return MSG_INVALID_WIDTH;
    if (!Typed(entries.HeightText, entries))
        return MSG_INVALID_HEIGHT;
    const auto period = Typed(entries.PeriodText, entries);
    if (!period)
        return MSG_INVALID_PERIOD;
    if (!(*period > 0.0))
        return MSG_PERIOD_NOT_POSITIVE;
    if (!folderExists(entries.BasePathText))
        return MSG_INVALID_DIRECTORY;
    return std::string();
}

ConfigVerdict JudgeConfigEntries(const ConfigEntries& entries, const AppStateRecord& current,
                                 const FolderExistsTest& folderExists) {
    ConfigVerdict verdict;
    verdict.Message = FirstEntryProblem(entries, folderExists);
    if (!verdict.Accepted())
        return verdict;

    ConfigChanges& changes = verdict.Changes;
    const double width = *Typed(entries.WidthText, entries);
    const double height = *Typed(entries.HeightText, entries);
    const double period = *Typed(entries.PeriodText, entries);

    changes.WidthChanged = width != static_cast<double>(current.OutputWidth);
    if (!SizeFits(width, current.OutputWidth, changes.OutputWidth)) {
        verdict.Message = MSG_WIDTH_OUT_OF_RANGE;
        return verdict;
    }
    changes.HeightChanged = height != static_cast<double>(current.OutputHeight);
    if (!SizeFits(height, current.OutputHeight, changes.OutputHeight)) {
        verdict.Message = MSG_HEIGHT_OUT_OF_RANGE;
        return verdict;
    }

    // The period is compared in single precision, as it is held; only a period that will be
    // applied has to give the timer an interval it can run with (at least 1 ms).
    const auto single = ToSingle(period);
    if (!single) {
        verdict.Message = MSG_PERIOD_OUT_OF_RANGE;
        return verdict;
    }
    changes.PeriodChanged = *single != current.TimerPeriod;
    if (changes.PeriodChanged) {
        const auto interval = TimerIntervalFromPeriod(*single);
        if (!interval || *interval < 1) {
            verdict.Message = MSG_PERIOD_OUT_OF_RANGE;
            return verdict;
        }
        changes.TimerPeriod = *single;
    }

    changes.BasePathChanged = entries.BasePathText != current.BasePath;
    if (changes.BasePathChanged)
        changes.BasePath = WithTrailingSeparator(entries.BasePathText, entries.PathSeparator);

    changes.UseTimerChanged = entries.UseTimerValue != current.UseTimer;
    changes.UseTimer = entries.UseTimerValue;
    changes.UseHotkeyChanged = entries.UseHotkeyValue != current.UseHotkey;
    changes.UseHotkey = entries.UseHotkeyValue;
    return verdict;
}

std::string PeriodAsTyped(float period, const std::string& decimalPoint) {
    std::string text = SingleToText(period);
    if (const auto dot = text.find('.'); dot != std::string::npos && !decimalPoint.empty())
        text.replace(dot, 1, decimalPoint);
    return text;
}

std::string WithTrailingSeparator(const std::string& path, char separator) {
    if (path.ends_with(separator))
        return path;
    return path + separator;
}

Result<std::int32_t> TimerIntervalFor(float periodSeconds) {
    auto interval = TimerIntervalFromPeriod(periodSeconds);
    if (interval)
        return interval;
    Failure failure = interval.Error();
    failure.What =
        "Cannot set the timer for a period of " + SingleToText(periodSeconds) + " seconds";
    return failure;
}

void ApplyConfigChanges(const ConfigChanges& changes) {
    Seam::MainWindowView& mainWindow = *Seam::Installed().MainWindow;
    if (changes.BasePathChanged) {
        AppState.BasePath = changes.BasePath;
        StoreSetting(KEY_BASE_PATH, AppState.BasePath);
        // The count is not reset: numbering continues in the new directory.
        NewCaptureDir();
    }
    if (changes.WidthChanged) {
        AppState.OutputWidth = changes.OutputWidth;
        StoreSetting(KEY_OUTPUT_WIDTH, Int16ToText(AppState.OutputWidth));
    }
    if (changes.HeightChanged) {
        AppState.OutputHeight = changes.OutputHeight;
        StoreSetting(KEY_OUTPUT_HEIGHT, Int16ToText(AppState.OutputHeight));
    }
    if (changes.PeriodChanged) {
        AppState.TimerPeriod = changes.TimerPeriod;
        StoreSetting(KEY_TIMER_PERIOD, SingleToText(AppState.TimerPeriod));
        const auto interval = TimerIntervalFor(AppState.TimerPeriod);
        if (interval)
            mainWindow.SetTimer1Interval(*interval);
        else
            Seam::Installed().Errors->Report(interval.Error());
    }
    if (changes.UseTimerChanged) {
        AppState.UseTimer = changes.UseTimer;
        StoreSetting(KEY_USE_TIMER, Int16ToText(AppState.UseTimer));
        mainWindow.SetTimer1Enabled(AppState.UseTimer == 1);
    }
    if (changes.UseHotkeyChanged) {
        // Ctrl+F itself stays as registered at start-up until the program ends.
        AppState.UseHotkey = changes.UseHotkey;
        StoreSetting(KEY_USE_HOTKEY, Int16ToText(AppState.UseHotkey));
        HotkeyLbl.SettingChanged = true;
        mainWindow.SetHotkeyLblText(CurrentHotkeyCaption());
    }
}

ConfigVerdict ConfigOk(const ConfigEntries& entries) {
    Seam::FileSystem& files = *Seam::Installed().Files;
    const ConfigVerdict verdict = JudgeConfigEntries(
        entries, AppState,
        [&files](const std::string& path) { return files.FolderExists(TextPath(path)); });
    if (verdict.Accepted())
        ApplyConfigChanges(verdict.Changes);
    return verdict;
}

}  // namespace KestrelMain
