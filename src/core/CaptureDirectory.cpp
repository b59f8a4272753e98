#include "core/CaptureDirectory.h"

#include "core/AppState.h"
#include "core/CaptureSequence.h"
#include "core/seam/Services.h"

#include <string>

namespace KestrelMain {

void NewCaptureDir() {
    std::string captureDir;
    const Status failed = NewCaptureDir(AppState.BasePath, captureDir);
    AppState.CaptureDir = captureDir;
    if (failed)
        Seam::Installed().Errors->Report(*failed);
}

}  // namespace KestrelMain
