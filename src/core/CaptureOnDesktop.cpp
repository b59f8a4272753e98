#include "core/CaptureOnDesktop.h"

#include "core/AppState.h"
#include "platform/ErrorReport.h"

#include <cstdlib>
#include <optional>

namespace KestrelMain {

namespace {
std::optional<CaptureSeam> desktop;
Platform::HotKey* desktopHotKey = nullptr;
}  // namespace

void UseDesktop(const CaptureSeam& seam, Platform::HotKey& hotKey) {
    desktop.emplace(seam);
    desktopHotKey = &hotKey;
}

const CaptureSeam& Desktop() {
    // A capture without a desktop would have nothing to grab or save to: stop loudly
    // rather than let a missing start-up step pass as a capture failure.
    if (!desktop)
        std::abort();
    return *desktop;
}

Platform::HotKey& DesktopHotKey() {
    if (desktopHotKey == nullptr)
        std::abort();
    return *desktopHotKey;
}

void MakeCapture() {
    if (auto failed = MakeCapture(Desktop(), AppState.CaptureDir, AppState.OutputWidth,
                                  AppState.OutputHeight, AppState.CaptureCount)) {
        Platform::ReportFailure(*failed);
    }
}

}  // namespace KestrelMain
