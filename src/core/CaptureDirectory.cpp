#include "core/CaptureDirectory.h"

#include "core/AppState.h"
#include "core/FileName.h"
#include "platform/ErrorReport.h"
#include "platform/FileSystem.h"
#include "platform/posix/LocalClock.h"
#include "ui/MainForm.h"

namespace KestrelMain {

QString MakeCaptureDirName() {
    // Date and time from one reading, so a name never pairs one day's date with the
    // next day's time.
    Platform::Posix::LocalClock clock;
    return QString::fromStdString(
        ComposeCaptureDirName(AppState.BasePath.toStdString(), clock.ReadLocalTime()));
}

void NewCaptureDir() {
    AppState.CaptureDir = MakeCaptureDirName();
    Ui::MainForm::Instance().DirLbl->setText(AppState.CaptureDir);
    if (auto failed = Platform::CreateOneDirectory(AppState.CaptureDir)) {
        Platform::ReportFailure(*failed);
    }
}

}  // namespace KestrelMain
