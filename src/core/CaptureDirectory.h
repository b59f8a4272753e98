// The capture directory: one per start and per change of base directory, named
// BasePath + "KESTREL_" + ddmmyyyy + "_" + hhmmss by plain concatenation.
#pragma once

namespace KestrelMain {

// Names the directory under AppState.BasePath, shows it in the main window and creates it
// (NewCaptureDir of core/CaptureSequence.h, with AppState). A failure to create it is
// reported and the program goes on; captures then report their own failure.
void NewCaptureDir();

}  // namespace KestrelMain
