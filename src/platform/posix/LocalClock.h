// The system clock in the local time zone.
#pragma once

#include "platform/Clock.h"

namespace Platform::Posix {

class LocalClock final : public Clock {
  public:
    KestrelMain::LocalDateTime ReadLocalTime() override;
};

}  // namespace Platform::Posix
