// A clock that reads what the test set, for names made at a known moment.
#pragma once

#include "core/seam/Clock.h"

namespace TestSupport {

class FixedClock final : public Seam::Clock {
  public:
    explicit FixedClock(KestrelMain::LocalDateTime moment = {}) : moment_(moment) {}

    void Set(KestrelMain::LocalDateTime moment) { moment_ = moment; }
    int Readings() const { return readings_; }

    KestrelMain::LocalDateTime ReadLocalTime() override {
        ++readings_;
        return moment_;
    }

  private:
    KestrelMain::LocalDateTime moment_;
    int readings_ = 0;
};

}  // namespace TestSupport
