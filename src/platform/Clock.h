// Local date and time, taken in one reading so that a date and a time never straddle
// midnight.
#pragma once

#include <QDateTime>
#include <QString>

namespace Platform {

struct ClockReading {
    QString Date;  // "ddmmyyyy": 01022000
    QString Time;  // "hhmmss", 24-hour: 090507
};

ClockReading ReadClock();
ClockReading FormatClock(const QDateTime& moment);

}  // namespace Platform
