#include "capture/DesktopSeam.h"

#include "platform/posix/LocalClock.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/x11/X11Backend.h"
#include "ui/MainForm.h"

namespace Capture {

Platform::Clock& DesktopClock() {
    static Platform::Posix::LocalClock clock;
    return clock;
}

KestrelMain::CaptureSeam DesktopSeam() {
    // The backends keep nothing of their own between captures beyond what the X11 grab
    // holds for the run, so one of each serves the whole program.
    static Platform::X11Screen screen;
    static Platform::X11ScreenGrab grab;
    static Platform::Posix::PosixFileSystem files;
    return KestrelMain::CaptureSeam{screen, grab, files, DesktopClock(), Ui::MainForm::Instance()};
}

}  // namespace Capture
