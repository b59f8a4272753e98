#include "core/CaptureSequence.h"

#include "core/AppState.h"
#include "core/Bmp.h"
#include "core/FileName.h"
#include "core/Numbers.h"
#include "core/PathText.h"
#include "core/seam/Services.h"

#include <limits>

namespace KestrelMain {

namespace {

// The sequence reckons the screen in 16-bit pixels, as the image position's divisor.
bool FitsInt16(int value) {
    return value >= std::numeric_limits<std::int16_t>::min() &&
           value <= std::numeric_limits<std::int16_t>::max();
}

// Said on standard error once a run: the reason does not change between captures.
bool pointerUnknownNoted = false;
// Said once until the source is ready.
bool timedNotReadyNoted = false;
// Captures asked for from outside while the source was not ready, made once it is.
int waitingCaptures = 0;

// Sizes beyond 16 bits cannot be scaled into a name's coordinates.
Status ScreenTooBig(const Seam::ScreenRect& screen) {
    if (FitsInt16(screen.Width) && FitsInt16(screen.Height))
        return std::nullopt;
    return OverflowFailure("Cannot capture a screen of " + std::to_string(screen.Width) + " x " +
                           std::to_string(screen.Height) + " pixels");
}

}  // namespace

void ForgetRunNotes() {
    pointerUnknownNoted = false;
    timedNotReadyNoted = false;
    waitingCaptures = 0;
}

Status NewCaptureDir(const std::string& basePath, std::string& captureDir) {
    const Seam::Services& seam = Seam::Installed();
    // Date and time from one reading, so a name never pairs one day's date with the next
    // day's time.
    captureDir = ComposeCaptureDirName(basePath, seam.Clock->ReadLocalTime());
    seam.MainWindow->SetDirLblText(captureDir);
    return seam.Files->CreateOneDirectory(TextPath(captureDir));
}

Status MakeCapture(const std::string& captureDir, std::int16_t outputWidth,
                   std::int16_t outputHeight, std::int32_t& captureCount) {
    const Seam::Services& seam = Seam::Installed();
    // The refusal was said once, with the capture that met it; the button asks again.
    if (seam.Grab->Refused())
        return std::nullopt;
    // Asked first and answered at once: a capture never waits for the desktop.
    if (auto because = seam.Grab->NotReadyBecause())
        return Failure{SCREEN_NOT_READY, {}, *because};
    // The one question about the monitor in a capture: the pointer and the grab use this
    // rectangle too.
    auto screen = seam.Screen->ReadPrimaryScreen();
    if (!screen)
        return screen.Error();
    if (auto tooBig = ScreenTooBig(*screen))
        return tooBig;

    auto pointer = seam.Screen->ReadPointer(*screen);
    if (!pointer)
        return pointer.Error();

    if (captureCount == std::numeric_limits<std::int32_t>::max()) {
        return OverflowFailure("Cannot count another capture: this run has made " +
                               std::to_string(captureCount) + ", the most it can");
    }
    ++captureCount;

    auto picture = seam.Grab->GrabScaled(*screen, outputWidth, outputHeight);
    // A monitor that changed between its reading and the grab (a mode switched, a monitor
    // unplugged) fails the grab: the capture is made once more, of the monitor as it is now
    // and with the pointer measured against it, and reported only if that fails too.
    if (!picture) {
        auto now = seam.Screen->ReadPrimaryScreen();
        if (now && *now != *screen && !ScreenTooBig(*now)) {
            auto pointerNow = seam.Screen->ReadPointer(*now);
            if (pointerNow) {
                screen = std::move(now);
                pointer = std::move(pointerNow);
                picture = seam.Grab->GrabScaled(*screen, outputWidth, outputHeight);
            }
        }
    }
    seam.MainWindow->SetTotalLblText("Total captures saved: " + std::to_string(captureCount));
    if (!picture)
        return picture.Error();

    // Read after the grab and the label, as the file's time of day.
    const std::string timeOfDay = FormatTime(seam.Clock->ReadLocalTime());
    std::optional<std::int64_t> imageX;
    std::optional<std::int64_t> imageY;
    if (const auto& position = (*pointer).Position) {
        imageX = ScaleToImage(outputWidth, position->X, (*screen).Width);
        imageY = ScaleToImage(outputHeight, position->Y, (*screen).Height);
    } else if (!pointerUnknownNoted) {
        pointerUnknownNoted = true;
        seam.Errors->Note("The pointer's position is not known, so capture names carry " +
                          std::string(UNKNOWN_COORDINATE) + ": " + (*pointer).WhyUnknown);
    }
    const std::string path =
        ComposeCaptureFileName(captureDir, captureCount, timeOfDay, imageX, imageY);
    return SavePictureAsBmp(*picture, TextPath(path), *seam.Files);
}

void MakeCapture() {
    if (auto failed = MakeCapture(AppState.CaptureDir, AppState.OutputWidth, AppState.OutputHeight,
                                  AppState.CaptureCount))
        Seam::Installed().Errors->Report(*failed);
}

void MakeTimedCapture() {
    const auto failed = MakeCapture(AppState.CaptureDir, AppState.OutputWidth,
                                    AppState.OutputHeight, AppState.CaptureCount);
    const bool notReady = failed && failed->What == SCREEN_NOT_READY;
    if (notReady && !timedNotReadyNoted)
        Seam::Installed().Errors->Note(failed->Text() + "; the timer's captures wait for it");
    else if (failed && !notReady)
        Seam::Installed().Errors->Report(*failed);
    timedNotReadyNoted = notReady;
}

void MakeRequestedCapture() {
    const Seam::Services& seam = Seam::Installed();
    if (!seam.Grab->Refused()) {
        if (auto because = seam.Grab->NotReadyBecause()) {
            if (waitingCaptures == 0) {
                seam.Errors->Note(Failure{SCREEN_NOT_READY, {}, *because}.Text() +
                                  "; the capture asked for follows once it is");
            }
            if (waitingCaptures < std::numeric_limits<int>::max())
                ++waitingCaptures;
            return;
        }
    }
    MakeCapture();
}

void MakeWaitingCaptures() {
    if (waitingCaptures == 0)
        return;
    const Seam::Services& seam = Seam::Installed();
    if (seam.Grab->Refused()) {
        waitingCaptures = 0;
        return;
    }
    if (seam.Grab->NotReadyBecause())
        return;
    for (; waitingCaptures > 0; --waitingCaptures) MakeCapture();
}

void MakeCaptureFromButton() {
    if (!Seam::Installed().Grab->AskAgain())
        MakeCapture();
}

}  // namespace KestrelMain
