// The main window as a benchmark's captures see it: nothing. A capture only tells the window
// its count, which is not part of what is measured.
#pragma once

#include "core/seam/MainWindowView.h"

#include <cstdint>
#include <string>

namespace Bench {

class NoWindow final : public Seam::MainWindowView {
  public:
    void SetDirLblText(const std::string&) override {}
    void SetTotalLblText(const std::string&) override {}
    void SetHotkeyLblText(const std::string&) override {}
    void SetTimer1Interval(std::int32_t) override {}
    void SetTimer1Enabled(bool) override {}
    void Show() override {}
};

}  // namespace Bench
