// The configuration dialog's rules, free of widgets: which entry is rejected with which
// message, which settings differ from the current ones and become what, and what OK then
// stores and asks of the windows.
#pragma once

#include "core/AppState.h"
#include "core/Failure.h"
#include "core/HotkeyCaption.h"

#include <cstdint>
#include <functional>
#include <string>

namespace KestrelMain {

inline constexpr char MSG_INVALID_WIDTH[] = "Invalid Width.  Please specify an integer.";
inline constexpr char MSG_INVALID_HEIGHT[] = "Invalid Height.  Please specify an integer.";
inline constexpr char MSG_INVALID_PERIOD[] = "Invalid Period.  Please specify a number.";
inline constexpr char MSG_PERIOD_NOT_POSITIVE[] = "Period must be a positive, non-zero number.";
inline constexpr char MSG_INVALID_DIRECTORY[] =
    "Invalid Capture Directory.  Please double check and try again.";

// Entries that pass the checks above but that the settings cannot hold.
inline constexpr char MSG_WIDTH_OUT_OF_RANGE[] =
    "Invalid Width.  Please specify an integer between -32768 and 32767.";
inline constexpr char MSG_HEIGHT_OUT_OF_RANGE[] =
    "Invalid Height.  Please specify an integer between -32768 and 32767.";
inline constexpr char MSG_PERIOD_OUT_OF_RANGE[] =
    "Invalid Period.  Please specify a number of seconds between 0.001 and 2147483.";

// What the dialog's controls hold when OK is clicked, as UTF-8.
struct ConfigEntries {
    std::string WidthText;
    std::string HeightText;
    std::string PeriodText;
    std::string BasePathText;
    std::int16_t UseTimerValue = 0;   // the timer check box: 0 or 1
    std::int16_t UseHotkeyValue = 0;  // the hot-key check box: 0 or 1
    // The system locale's decimal separator, which typed numbers may use besides ".";
    // empty when there is none but ".".
    std::string DecimalPoint;
    // The directory separator a stored base directory ends with: "\" on Windows.
    char PathSeparator = '/';
};

// Each setting that differs from the current one, with the value it takes. Only the
// members of a changed setting carry meaning.
struct ConfigChanges {
    bool BasePathChanged = false;
    std::string BasePath;  // the typed text with its separator appended when it lacked one

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
    std::string Message;  // empty when every entry is acceptable
    ConfigChanges Changes;

    bool Accepted() const { return Message.empty(); }
};

using FolderExistsTest = std::function<bool(const std::string& path)>;

// The five checks in their order of precedence, first failure wins.
std::string FirstEntryProblem(const ConfigEntries& entries, const FolderExistsTest& folderExists);

// The five checks, then whether each setting that would change fits its field; on success,
// the comparison of every entry with the current settings.
ConfigVerdict JudgeConfigEntries(const ConfigEntries& entries, const AppStateRecord& current,
                                 const FolderExistsTest& folderExists);

// The period as the dialog shows it: its stored text with the user's decimal separator in
// place of ".", so OK reads it back unchanged ("0,5" where the separator is ",").
std::string PeriodAsTyped(float period, const std::string& decimalPoint);

// The base directory as it is stored: the typed text with a trailing separator added when
// its last character is not that separator ("/", or "\" on Windows, where a final "/" is
// not taken for it).
std::string WithTrailingSeparator(const std::string& path, char separator);

// Puts each changed setting into AppState and the installed store, in a fixed order (base
// directory, width, height, period, timer, hot key), and shows it in the main window: a new
// capture directory, Timer1's interval and state, HotkeyLbl. A setting that cannot be
// stored is reported and stays applied for this run.
void ApplyConfigChanges(const ConfigChanges& changes);

// What OK does with the entries against AppState, the base directory tested on the
// installed file system: a rejected entry's message, and nothing changes; otherwise the
// changes applied. The dialog shows the verdict's base directory, as stored, when it
// changed.
ConfigVerdict ConfigOk(const ConfigEntries& entries);

// The timer's interval for a period, or the failure to report: "Cannot set the timer for
// a period of 1e+30 seconds" with the reason.
Result<std::int32_t> TimerIntervalFor(float periodSeconds);

}  // namespace KestrelMain
