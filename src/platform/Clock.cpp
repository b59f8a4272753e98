#include "platform/Clock.h"

namespace Platform {

ClockReading FormatClock(const QDateTime& moment) {
    return ClockReading{moment.toString(QStringLiteral("ddMMyyyy")),
                        moment.toString(QStringLiteral("HHmmss"))};
}

ClockReading ReadClock() {
    return FormatClock(QDateTime::currentDateTime());
}

}  // namespace Platform
