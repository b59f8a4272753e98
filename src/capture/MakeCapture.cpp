#include "capture/MakeCapture.h"

#include "core/AppState.h"
#include "ui/MainForm.h"

namespace Capture {

using KestrelMain::AppState;

void MakeCapture() {
    if (AppState.CaptureCount == 32767) return;
    ++AppState.CaptureCount;
    Ui::MainForm::Instance().TotalLbl->setText(QStringLiteral("Total captures saved: ") +
                                               QString::number(AppState.CaptureCount));
}

}  // namespace Capture
