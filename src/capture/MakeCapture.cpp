#include "capture/MakeCapture.h"

#include "capture/DesktopSeam.h"
#include "core/AppState.h"
#include "core/CaptureSequence.h"
#include "platform/ErrorReport.h"

namespace Capture {

using KestrelMain::AppState;

void MakeCapture() {
    if (auto failed =
            KestrelMain::MakeCapture(DesktopSeam(), AppState.CaptureDir, AppState.OutputWidth,
                                     AppState.OutputHeight, AppState.CaptureCount)) {
        Platform::ReportFailure(*failed);
    }
}

}  // namespace Capture
