// The error report on Linux: a modeless message box captioned "Kestrel" (at most one on
// screen; a newer failure replaces the text of the one shown) and the same line on
// standard error, "kestrel: " first.
#pragma once

#include "core/seam/ErrorReport.h"

namespace Platform::Qt {

class QtErrorReport final : public ErrorReport {
  public:
    void Report(const KestrelMain::Failure& failure) override;
    void Note(const std::string& line) override;
};

}  // namespace Platform::Qt
