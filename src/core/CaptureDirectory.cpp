#include "core/CaptureDirectory.h"

#include "core/AppState.h"
#include "platform/ErrorReport.h"
#include "platform/FileSystem.h"
#include "ui/MainForm.h"

namespace KestrelMain {

QString ComposeCaptureDirName(const QString& basePath, const Platform::ClockReading& clock) {
    return basePath + QStringLiteral("KESTREL_") + clock.Date + u'_' + clock.Time;
}

QString MakeCaptureDirName() {
    // Date and time from one reading, so a name never pairs one day's date with the
    // next day's time.
    return ComposeCaptureDirName(AppState.BasePath, Platform::ReadClock());
}

void NewCaptureDir() {
    AppState.CaptureDir = MakeCaptureDirName();
    Ui::MainForm::Instance().DirLbl->setText(AppState.CaptureDir);
    if (auto failed = Platform::CreateOneDirectory(AppState.CaptureDir)) {
        Platform::ReportFailure(*failed);
    }
}

}  // namespace KestrelMain
