#include "core/CaptureDirectory.h"

#include "capture/DesktopSeam.h"
#include "core/AppState.h"
#include "core/CaptureSequence.h"
#include "core/FileName.h"
#include "platform/ErrorReport.h"

namespace KestrelMain {

QString MakeCaptureDirName() {
    return QString::fromStdString(
        ComposeCaptureDirName(AppState.BasePath, Capture::DesktopClock().ReadLocalTime()));
}

void NewCaptureDir() {
    std::string captureDir;
    const Status failed = NewCaptureDir(Capture::DesktopSeam(), AppState.BasePath, captureDir);
    AppState.CaptureDir = captureDir;
    if (failed)
        Platform::ReportFailure(*failed);
}

}  // namespace KestrelMain
