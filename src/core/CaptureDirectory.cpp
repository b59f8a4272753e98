#include "core/CaptureDirectory.h"

#include "core/AppState.h"
#include "core/CaptureOnDesktop.h"
#include "core/CaptureSequence.h"
#include "core/FileName.h"
#include "platform/ErrorReport.h"

namespace KestrelMain {

QString MakeCaptureDirName() {
    return QString::fromStdString(
        ComposeCaptureDirName(AppState.BasePath.toStdString(), Desktop().Clock.ReadLocalTime()));
}

void NewCaptureDir() {
    std::string captureDir;
    const Status failed = NewCaptureDir(Desktop(), AppState.BasePath.toStdString(), captureDir);
    AppState.CaptureDir = QString::fromStdString(captureDir);
    if (failed)
        Platform::ReportFailure(Platform::FromCore(*failed));
}

}  // namespace KestrelMain
