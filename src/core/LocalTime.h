// One reading of the local date and time, and the two texts that names are made of.
// Date and time come from the same reading, so a name never pairs one day's date with
// the next day's time.
#pragma once

#include <string>

namespace KestrelMain {

struct LocalDateTime {
    int Year = 2000;  // four digits
    int Month = 1;    // 1..12
    int Day = 1;      // 1..31
    int Hour = 0;     // 0..23
    int Minute = 0;
    int Second = 0;

    friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

// "ddmmyyyy": 01022000 for 1 February 2000.
std::string FormatDate(const LocalDateTime& moment);

// "hhmmss" on the 24-hour clock: 224408.
std::string FormatTime(const LocalDateTime& moment);

}  // namespace KestrelMain
