// Kestrel's entry and idle loop.
#pragma once

namespace KestrelMain {

inline const char* const CAPTION_HOTKEY_ON = "Ctrl-F is the Hot Key";
inline const char* const CAPTION_HOTKEY_OFF = "Hot Key is Disabled";

// Loads the settings, starts the capture directory, takes Ctrl+F when wanted, shows the
// main window, arms the timer and idles until the user quits. Never returns.
[[noreturn]] void Main();

// Everything Main does before it idles: settings, capture directory, hot key, the
// main window shown and the timer armed.
void StartUp();

// Waits for events, turns each hot-key press into a capture and dispatches everything
// else; returns only once QuitRequested is set.
void RunMessageLoop();

// Programs Timer1 from AppState.TimerPeriod; a period whose interval no timer can hold is
// reported and leaves the timer as it was. Returns whether the interval was set.
bool ApplyTimerPeriod();

}  // namespace KestrelMain
