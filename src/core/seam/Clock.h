// The clock the core reads: local date and time in one reading, so that a date and a time
// never straddle midnight.
#pragma once

#include "core/LocalTime.h"

namespace Seam {

class Clock {
  public:
    virtual KestrelMain::LocalDateTime ReadLocalTime() = 0;

  protected:
    ~Clock() = default;
};

}  // namespace Seam
