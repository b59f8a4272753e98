// The local date and time from one GetLocalTime call.
#pragma once

#include "core/seam/Clock.h"

namespace Platform::Win32 {

class Win32Clock final : public Seam::Clock {
  public:
    KestrelMain::LocalDateTime ReadLocalTime() override;
};

}  // namespace Platform::Win32
