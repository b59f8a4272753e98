#include "capture/MakeCapture.h"

#include "capture/BmpWriter.h"
#include "capture/CaptureScreen.h"
#include "capture/FileName.h"
#include "core/AppState.h"
#include "platform/Clock.h"
#include "platform/ErrorReport.h"
#include "platform/Numbers.h"
#include "platform/Screen.h"
#include "ui/MainForm.h"

#include <limits>

namespace Capture {

using KestrelMain::AppState;

Platform::Result<Platform::PointerPosition> GetCursorPosition(
    const Platform::ScreenRect& primaryScreen) {
    return Platform::PointerOnScreen(primaryScreen);
}

void MakeCapture() {
    // The one question about the monitor in a capture: the pointer and the grab use this
    // rectangle too.
    const auto screen = Platform::PrimaryScreen();
    if (!screen) {
        Platform::ReportFailure(screen.Error());
        return;
    }
    const auto screenWidth = Platform::ToInt16((*screen).Width);
    const auto screenHeight = Platform::ToInt16((*screen).Height);
    if (!screenWidth || !screenHeight) {
        Platform::ReportFailure(
            Platform::OverflowFailure(QStringLiteral("Cannot capture a screen of %1 x %2 pixels")
                                          .arg((*screen).Width)
                                          .arg((*screen).Height)));
        return;
    }

    const auto pointer = GetCursorPosition(*screen);
    if (!pointer) {
        Platform::ReportFailure(pointer.Error());
        return;
    }

    if (AppState.CaptureCount == std::numeric_limits<decltype(AppState.CaptureCount)>::max()) {
        Platform::ReportFailure(Platform::OverflowFailure(
            QStringLiteral("Cannot count another capture: this run has made %1, the most it can")
                .arg(AppState.CaptureCount)));
        return;
    }
    ++AppState.CaptureCount;

    const auto picture = CaptureScreen(*screen);
    Ui::MainForm::Instance().TotalLbl->setText(QStringLiteral("Total captures saved: ") +
                                               QString::number(AppState.CaptureCount));
    if (!picture) {
        Platform::ReportFailure(picture.Error());
        return;
    }

    const QString timeOfDay = Platform::ReadClock().Time;
    const std::int64_t imageX = ScaleToImage(AppState.OutputWidth, (*pointer).X, *screenWidth);
    const std::int64_t imageY = ScaleToImage(AppState.OutputHeight, (*pointer).Y, *screenHeight);
    const QString path = ComposeCaptureFileName(QString::fromStdString(AppState.CaptureDir),
                                                AppState.CaptureCount, timeOfDay, imageX, imageY);
    if (auto failed = SavePictureAsBmp(*picture, path))
        Platform::ReportFailure(*failed);
}

}  // namespace Capture
