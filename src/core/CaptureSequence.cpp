#include "core/CaptureSequence.h"

#include "core/AppState.h"
#include "core/Bmp.h"
#include "core/FileName.h"
#include "core/PathText.h"
#include "platform/Services.h"

#include <limits>

namespace KestrelMain {

namespace {

// The sequence reckons the screen in 16-bit pixels, as the image position's divisor.
bool FitsInt16(int value) {
    return value >= std::numeric_limits<std::int16_t>::min() &&
           value <= std::numeric_limits<std::int16_t>::max();
}

Failure Overflow(std::string what) {
    return Failure{std::move(what), {}, "Overflow"};
}

}  // namespace

Status NewCaptureDir(const std::string& basePath, std::string& captureDir) {
    const Platform::Services& seam = Platform::Installed();
    // Date and time from one reading, so a name never pairs one day's date with the next
    // day's time.
    captureDir = ComposeCaptureDirName(basePath, seam.Clock->ReadLocalTime());
    seam.MainWindow->SetDirLblText(captureDir);
    return seam.Files->CreateOneDirectory(TextPath(captureDir));
}

Result<Platform::PointerPosition> GetCursorPosition(Platform::Screen& screen,
                                                    const Platform::ScreenRect& primaryScreen) {
    return screen.ReadPointer(primaryScreen);
}

Result<Picture> CaptureScreen(Platform::ScreenGrab& grab, const Platform::ScreenRect& primaryScreen,
                              int outputWidth, int outputHeight) {
    return grab.GrabScaled(primaryScreen, outputWidth, outputHeight);
}

Status MakeCapture(const std::string& captureDir, std::int16_t outputWidth,
                   std::int16_t outputHeight, std::int32_t& captureCount) {
    const Platform::Services& seam = Platform::Installed();
    // The one question about the monitor in a capture: the pointer and the grab use this
    // rectangle too.
    const auto screen = seam.Screen->ReadPrimaryScreen();
    if (!screen)
        return screen.Error();
    if (!FitsInt16((*screen).Width) || !FitsInt16((*screen).Height)) {
        return Overflow("Cannot capture a screen of " + std::to_string((*screen).Width) + " x " +
                        std::to_string((*screen).Height) + " pixels");
    }

    const auto pointer = GetCursorPosition(*seam.Screen, *screen);
    if (!pointer)
        return pointer.Error();

    if (captureCount == std::numeric_limits<std::int32_t>::max()) {
        return Overflow("Cannot count another capture: this run has made " +
                        std::to_string(captureCount) + ", the most it can");
    }
    ++captureCount;

    const auto picture = CaptureScreen(*seam.Grab, *screen, outputWidth, outputHeight);
    seam.MainWindow->SetTotalLblText("Total captures saved: " + std::to_string(captureCount));
    if (!picture)
        return picture.Error();

    // Read after the grab and the label, as the file's time of day.
    const std::string timeOfDay = FormatTime(seam.Clock->ReadLocalTime());
    const std::int64_t imageX = ScaleToImage(outputWidth, (*pointer).X, (*screen).Width);
    const std::int64_t imageY = ScaleToImage(outputHeight, (*pointer).Y, (*screen).Height);
    const std::string path =
        ComposeCaptureFileName(captureDir, captureCount, timeOfDay, imageX, imageY);
    return SavePictureAsBmp(*picture, TextPath(path), *seam.Files);
}

void MakeCapture() {
    if (auto failed = MakeCapture(AppState.CaptureDir, AppState.OutputWidth, AppState.OutputHeight,
                                  AppState.CaptureCount))
        Platform::Installed().Errors->Report(*failed);
}

}  // namespace KestrelMain
