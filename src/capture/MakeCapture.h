// The one operation behind every trigger: button, timer and hot key.
#pragma once

namespace Capture {

void MakeCapture();

}  // namespace Capture
