// The system clock in the local time zone.
#pragma once

#include "core/seam/Clock.h"

namespace Platform::Posix {

class PosixClock final : public Seam::Clock {
  public:
    KestrelMain::LocalDateTime ReadLocalTime() override;
};

}  // namespace Platform::Posix
