// The configuration dialog's decisions, free of widgets: which entry is rejected with
// which message, and which settings differ from the current ones and become what.
#pragma once

#include "core/AppState.h"

#include <QString>

#include <cstdint>
#include <functional>

namespace Ui {

inline const QString MSG_INVALID_WIDTH =
    QStringLiteral("Invalid Width.  Please specify an integer.");
inline const QString MSG_INVALID_HEIGHT =
    QStringLiteral("Invalid Height.  Please specify an integer.");
inline const QString MSG_INVALID_PERIOD =
    QStringLiteral("Invalid Period.  Please specify a number.");
inline const QString MSG_PERIOD_NOT_POSITIVE =
    QStringLiteral("Period must be a positive, non-zero number.");
inline const QString MSG_INVALID_DIRECTORY =
    QStringLiteral("Invalid Capture Directory.  Please double check and try again.");

// Entries that pass the checks above but that the settings cannot hold.
inline const QString MSG_WIDTH_OUT_OF_RANGE =
    QStringLiteral("Invalid Width.  Please specify an integer between -32768 and 32767.");
inline const QString MSG_HEIGHT_OUT_OF_RANGE =
    QStringLiteral("Invalid Height.  Please specify an integer between -32768 and 32767.");
inline const QString MSG_PERIOD_OUT_OF_RANGE = QStringLiteral(
    "Invalid Period.  Please specify a number of seconds between 0.001 and 2147483.");

inline const QString CAPTION_HOTKEY_KEPT = QStringLiteral("Ctrl-F is the Hot Key.");
inline const QString CAPTION_HOTKEY_ENDS =
    QStringLiteral("Ctrl-F is the Hot Key.  Hot key will be disabled on next launch.");
inline const QString CAPTION_HOTKEY_STARTS =
    QStringLiteral("Hot key is disabled.  Will be enabled on next launch.");
inline const QString CAPTION_HOTKEY_STAYS_OFF = QStringLiteral("Hot key is disabled.");

// What the dialog's controls hold when OK is clicked.
struct ConfigEntries {
    QString WidthText;
    QString HeightText;
    QString PeriodText;
    QString BasePathText;
    std::int16_t UseTimerValue = 0;   // the timer check box: 0 or 1
    std::int16_t UseHotkeyValue = 0;  // the hot-key check box: 0 or 1
};

// Each setting that differs from the current one, with the value it takes. Only the
// members of a changed setting carry meaning.
struct ConfigChanges {
    bool BasePathChanged = false;
    QString BasePath;  // the typed text with a trailing "/" appended when it lacked one

    bool WidthChanged = false;
    std::int16_t OutputWidth = 0;

    bool HeightChanged = false;
    std::int16_t OutputHeight = 0;

    bool PeriodChanged = false;
    float TimerPeriod = 0;

    bool UseTimerChanged = false;
    std::int16_t UseTimer = 0;

    bool UseHotkeyChanged = false;
    std::int16_t UseHotkey = 0;

    bool Any() const {
        return BasePathChanged || WidthChanged || HeightChanged || PeriodChanged ||
               UseTimerChanged || UseHotkeyChanged;
    }
};

// The OK button's verdict: a message to show (and nothing changes), or the changes to make.
struct ConfigVerdict {
    QString Message;  // empty when every entry is acceptable
    ConfigChanges Changes;

    bool Accepted() const { return Message.isEmpty(); }
};

using FolderExistsTest = std::function<bool(const QString& path)>;

// The five checks in their order of precedence, first failure wins.
QString FirstEntryProblem(const ConfigEntries& entries, const FolderExistsTest& folderExists);

// The five checks, then whether each setting that would change fits its field; on success,
// the comparison of every entry with the current settings.
ConfigVerdict JudgeConfigEntries(const ConfigEntries& entries,
                                 const KestrelMain::AppStateRecord& current,
                                 const FolderExistsTest& folderExists);

// The base directory as it is stored: the typed text with a trailing "/" added when missing.
QString WithTrailingSeparator(const QString& path);

// HotkeyLbl's caption after the hot-key setting was changed in the dialog.
QString HotkeyCaptionAfterChange(std::int16_t hotkeyActive, std::int16_t useHotkey);

}  // namespace Ui
