#include "core/LocalTime.h"

#include <cstdio>

namespace KestrelMain {

namespace {

// Each field at least `digits` wide with leading zeros; never wider data is cut.
std::string Padded(int value, int digits) {
    char buffer[16];
    const int length = std::snprintf(buffer, sizeof buffer, "%0*d", digits, value);
    return std::string(buffer, static_cast<std::size_t>(length > 0 ? length : 0));
}

}  // namespace

std::string FormatDate(const LocalDateTime& moment) {
    return Padded(moment.Day, 2) + Padded(moment.Month, 2) + Padded(moment.Year, 4);
}

std::string FormatTime(const LocalDateTime& moment) {
    return Padded(moment.Hour, 2) + Padded(moment.Minute, 2) + Padded(moment.Second, 2);
}

}  // namespace KestrelMain
