// What went wrong in a platform operation, carried as a value up to the one place
// that reports it (ReportFailure), so that no exception ever crosses the event loop.
#pragma once

#include "core/Failure.h"

#include <QString>

#include <optional>

namespace Platform {

struct Failure {
    QString What;    // what failed, phrased for the user: "Cannot save the capture"
    QString Path;    // the file or directory concerned, empty where there is none
    QString Reason;  // the system's own reason: strerror, an X error, ...

    // One line: what, path and reason, as shown in the message box and on stderr.
    QString Text() const;
};

// Nothing on success, the failure otherwise.
using Status = std::optional<Failure>;

// A value or the failure that prevented it.
template <class T>
using Result = KestrelMain::Result<T, Failure>;

// The system's text for an errno value.
QString ErrnoText(int errnoValue);

// A failure from the core, whose text is UTF-8, in Qt's strings for the report.
Failure FromCore(const KestrelMain::Failure& failure);

// The other way, where a backend hands its failure to the core.
KestrelMain::Failure ToCore(const Failure& failure);

}  // namespace Platform
