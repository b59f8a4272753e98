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
    return ComposeCaptureDirName(QString::fromStdString(AppState.BasePath), Platform::ReadClock());
}

void NewCaptureDir() {
    const QString captureDir = MakeCaptureDirName();
    AppState.CaptureDir = captureDir.toStdString();
    Ui::MainForm::Instance().DirLbl->setText(captureDir);
    if (auto failed = Platform::CreateOneDirectory(captureDir)) {
        Platform::ReportFailure(*failed);
    }
}

}  // namespace KestrelMain
