// Where failures go: the one place that reports them, so the program keeps running.
#pragma once

#include "core/Failure.h"

#include <string>

class QString;

namespace Platform {

class ErrorReport {
  public:
    virtual void Report(
        const KestrelMain::Failure& failure) = 0;    // the user sees it (box) and stderr
    virtual void Note(const std::string& line) = 0;  // stderr only: "kestrel: " + line

  protected:
    ~ErrorReport() = default;
};

// For the desktop's code that still speaks in QString and Platform::Failure: both go to the
// installed report (platform/Services.h), or to the desktop's own when none is installed.
struct Failure;
void ReportFailure(const Failure& failure);
void ReportFailure(const KestrelMain::Failure& failure);
void ReportToStderr(const QString& line);

}  // namespace Platform
