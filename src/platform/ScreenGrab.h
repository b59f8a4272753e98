// The scaled grab: a rectangle of the screen reduced (or enlarged) in one step into a
// picture of the output size, at the screen's depth and with its palette on palette
// screens.
#pragma once

#include "core/Failure.h"
#include "core/Picture.h"
#include "platform/Screen.h"

namespace Platform {

class ScreenGrab {
  public:
    virtual KestrelMain::Result<KestrelMain::Picture> GrabScaled(const ScreenRect& area,
                                                                 int outputWidth,
                                                                 int outputHeight) = 0;

  protected:
    ~ScreenGrab() = default;
};

}  // namespace Platform
