// The capture directory and the capture itself as compositions over the installed seam
// (platform/Services.h): the same steps on every desktop, each part of the desktop reached
// through an interface. Every failure comes back as a value for the caller to report; the
// program goes on.
#pragma once

#include "core/Failure.h"
#include "core/Picture.h"
#include "core/seam/Screen.h"
#include "core/seam/ScreenGrab.h"

#include <cstdint>
#include <string>

namespace KestrelMain {

// Names the directory under basePath from one clock reading into captureDir, shows it in
// DirLbl and creates it (only it: basePath must exist). A failed creation leaves
// captureDir named; captures then report their own failure until it exists.
Status NewCaptureDir(const std::string& basePath, std::string& captureDir);

// What a capture reports when the screen source is still being set up.
inline constexpr char SCREEN_NOT_READY[] = "The screen is not ready yet";

// Counts the capture, grabs the primary screen at the output size, shows the new count in
// TotalLbl and saves the picture in captureDir, named after the count, the time and the
// pointer in image pixels. The count rises once the screen and pointer are known, even
// when the grab or the save then fails; at its 32-bit limit, and while the screen source
// is not ready, nothing is counted, grabbed or saved; after the desktop refused the screen,
// nothing at all is done and nothing said. A pointer the desktop will not tell
// names the file with "NA" for each coordinate; why is noted once a run.
Status MakeCapture(const std::string& captureDir, std::int16_t outputWidth,
                   std::int16_t outputHeight, std::int32_t& captureCount);

// Starts a run's notes afresh: what was said once is said again the next time it happens.
void ForgetRunNotes();

// The capture behind every trigger (button, timer, hot key), with AppState's directory, size
// and count. A failure is reported and the program goes on; the next capture succeeds once
// the cause is gone.
void MakeCapture();

// The timer's capture: while the screen source is not ready (the desktop's chooser is up,
// waiting for the user), a tick is skipped and said once on standard error, not in the
// error box, whose window would take the focus from the chooser at every period.
void MakeTimedCapture();

// The capture asked for from outside the window (the session bus's capture action), which
// may be what started Kestrel: asked while the screen source is still being set up (the
// desktop's chooser is up), it waits and is made as soon as the source is ready, said once
// on standard error meanwhile instead of reported as not ready. Each request is one capture.
void MakeRequestedCapture();

// Called by the loop after each dispatch: the requested captures that waited, once the screen
// source is ready; none once the desktop refused the screen (which said so itself).
void MakeWaitingCaptures();

// The button's capture: the one trigger that asks a desktop which refused the screen again.
// Where the desktop answers later (its chooser), that click makes no capture.
void MakeCaptureFromButton();

}  // namespace KestrelMain
