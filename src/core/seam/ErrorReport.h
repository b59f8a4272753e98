// Where failures go: the one place that reports them, so the program keeps running.
#pragma once

#include "core/Failure.h"

#include <string>

namespace Seam {

class ErrorReport {
  public:
    virtual void Report(
        const KestrelMain::Failure& failure) = 0;    // the user sees it (box) and stderr
    virtual void Note(const std::string& line) = 0;  // stderr only: "kestrel: " + line

  protected:
    ~ErrorReport() = default;
};

}  // namespace Seam
