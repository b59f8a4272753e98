#include "ui/ConfigValidation.h"

#include "platform/Numbers.h"

#include <optional>

namespace Ui {

namespace {

std::optional<double> Typed(const QString& text) {
    return KestrelMain::ParseNumber(text.toStdString(), KestrelMain::NumberText::Typed,
                                    Platform::SystemDecimalPoint());
}

// A size that differs from the current one must become a 16-bit integer; one that does not
// differ equals an integer already in range.
bool SizeFits(double typed, std::int16_t current, std::int16_t& converted) {
    if (typed == static_cast<double>(current))
        return true;
    const auto value = Platform::ToInt16(typed);
    if (!value)
        return false;
    converted = *value;
    return true;
}

}  // namespace

QString FirstEntryProblem(const ConfigEntries& entries, const FolderExistsTest& folderExists) {
    if (!Typed(entries.WidthText))
        return MSG_INVALID_WIDTH;
    if (!Typed(entries.HeightText))
        return MSG_INVALID_HEIGHT;
    const auto period = Typed(entries.PeriodText);
    if (!period)
        return MSG_INVALID_PERIOD;
    if (!(*period > 0.0))
        return MSG_PERIOD_NOT_POSITIVE;
    if (!folderExists(entries.BasePathText))
        return MSG_INVALID_DIRECTORY;
    return QString();
}

ConfigVerdict JudgeConfigEntries(const ConfigEntries& entries,
                                 const KestrelMain::AppStateRecord& current,
                                 const FolderExistsTest& folderExists) {
    ConfigVerdict verdict;
    verdict.Message = FirstEntryProblem(entries, folderExists);
    if (!verdict.Accepted())
        return verdict;

    ConfigChanges& changes = verdict.Changes;
    const double width = *Typed(entries.WidthText);
    const double height = *Typed(entries.HeightText);
    const double period = *Typed(entries.PeriodText);

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
    const auto single = KestrelMain::ToSingle(period);
    if (!single) {
        verdict.Message = MSG_PERIOD_OUT_OF_RANGE;
        return verdict;
    }
    changes.PeriodChanged = *single != current.TimerPeriod;
    if (changes.PeriodChanged) {
        const auto interval = KestrelMain::TimerIntervalFromPeriod(*single);
        if (!interval || *interval < 1) {
            verdict.Message = MSG_PERIOD_OUT_OF_RANGE;
            return verdict;
        }
        changes.TimerPeriod = *single;
    }

    changes.BasePathChanged = entries.BasePathText != QString::fromStdString(current.BasePath);
    if (changes.BasePathChanged)
        changes.BasePath = WithTrailingSeparator(entries.BasePathText);

    changes.UseTimerChanged = entries.UseTimerValue != current.UseTimer;
    changes.UseTimer = entries.UseTimerValue;
    changes.UseHotkeyChanged = entries.UseHotkeyValue != current.UseHotkey;
    changes.UseHotkey = entries.UseHotkeyValue;
    return verdict;
}

QString WithTrailingSeparator(const QString& path) {
    if (path.endsWith(u'/'))
        return path;
    return path + u'/';
}

QString HotkeyCaptionAfterChange(std::int16_t hotkeyActive, std::int16_t useHotkey) {
    if (hotkeyActive == 1)
        return useHotkey == 1 ? CAPTION_HOTKEY_KEPT : CAPTION_HOTKEY_ENDS;
    return useHotkey == 1 ? CAPTION_HOTKEY_STARTS : CAPTION_HOTKEY_STAYS_OFF;
}

}  // namespace Ui
