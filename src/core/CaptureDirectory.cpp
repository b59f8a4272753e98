#include "core/CaptureDirectory.h"

#include "core/AppState.h"
#include "core/CaptureOnDesktop.h"
#include "core/CaptureSequence.h"
#include "core/FileName.h"
#include "platform/ErrorReport.h"

namespace KestrelMain {

QString MakeCaptureDirName() {
    return QString::fromStdString(
        ComposeCaptureDirName(AppState.BasePath, Desktop().Clock.ReadLocalTime()));
}

void NewCaptureDir() {
    std::string captureDir;
    const Status failed = NewCaptureDir(Desktop(), AppState.BasePath, captureDir);
    AppState.CaptureDir = captureDir;
    if (failed)
        Platform::ReportFailure(*failed);
}

}  // namespace KestrelMain
