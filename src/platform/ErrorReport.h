// Reports a platform failure to the user and keeps the program running: a modeless
// message box captioned "Kestrel" (at most one on screen; a newer failure replaces
// the text of the one shown) and the same line on standard error.
#pragma once

#include "platform/qt/Failure.h"

namespace Platform {

void ReportFailure(const Failure& failure);

// Standard error only, for problems that need no interruption of the user
// (a stored setting that was replaced by its default).
void ReportToStderr(const QString& line);

}  // namespace Platform
