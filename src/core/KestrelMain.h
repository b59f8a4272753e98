// Kestrel's entry, its idle loop and the main window's handlers that end in the core: all
// over the installed seam and main window (platform/Services.h), so they run as well in a
// test without a desktop.
#pragma once

#include "core/HotkeyCaption.h"

#include <string>

namespace KestrelMain {

// Loads the settings, starts the capture directory, takes Ctrl+F when wanted, shows the
// main window, arms the timer and idles until the user quits, then ends the program.
// defaultBasePath is the desktop's base directory for a store that holds none.
[[noreturn]] void Main(const std::string& defaultBasePath);

// Everything Main does before it idles: settings, capture directory, hot key and its
// caption, the screen source started, the main window shown and the timer armed.
void StartUp(const std::string& defaultBasePath);

// Waits for events, turns at most one hot-key press per pass into a capture and dispatches
// everything else; returns only once QuitRequested is set.
void RunMessageLoop();

// Programs Timer1 from AppState.TimerPeriod; a period whose interval no timer can hold is
// reported and leaves the timer as it was. Returns whether the interval was set.
bool ApplyTimerPeriod();

// A tick of Timer1: a capture while UseTimer is not 0, else the timer switched off.
void Timer1Tick();

// The About window's web button: the maker's page in the user's browser, which is not
// waited for; a page that could not be opened is not reported.
void VisitMakerWebPage();

// Quitting from the main window (its Quit button, or the window ending): QuitRequested set,
// then the program ends at once from inside the handler.
[[noreturn]] void Quit();

}  // namespace KestrelMain
