#include "capture/MakeCapture.h"

#include "core/CaptureSequence.h"

namespace Capture {

void MakeCapture() {
    KestrelMain::MakeCapture();
}

}  // namespace Capture
