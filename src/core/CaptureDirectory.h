// The capture directory: one per start and per change of base directory, named
// BasePath + "KESTREL_" + ddmmyyyy + "_" + hhmmss by plain concatenation.
#pragma once

#include <QString>

namespace KestrelMain {

// The name for AppState.BasePath and the clock as it is now.
QString MakeCaptureDirName();

// Names the directory, shows it in the main window and creates it (the core's
// NewCaptureDir on this desktop's seam, with AppState). A failure to create it is
// reported and the program goes on; captures then report their own failure.
void NewCaptureDir();

}  // namespace KestrelMain
