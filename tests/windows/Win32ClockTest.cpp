// The clock against the C++ library's own reading of the local time.
#include "platform/win32/Win32Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

namespace {

// Seconds since the epoch for a local date and time, as the C library reads it.
std::time_t LocalSeconds(const KestrelMain::LocalDateTime& moment) {
    std::tm parts{};
    parts.tm_year = moment.Year - 1900;
    parts.tm_mon = moment.Month - 1;
    parts.tm_mday = moment.Day;
    parts.tm_hour = moment.Hour;
    parts.tm_min = moment.Minute;
    parts.tm_sec = moment.Second;
    parts.tm_isdst = -1;
    return std::mktime(&parts);
}

TEST(Win32Clock, AgreesWithTheStandardClockWithinASecond) {
    Platform::Win32::Win32Clock clock;
    const auto before = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    const KestrelMain::LocalDateTime now = clock.ReadLocalTime();
    const auto after = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    EXPECT_GE(now.Year, 2000);
    EXPECT_TRUE(now.Month >= 1 && now.Month <= 12);
    EXPECT_TRUE(now.Day >= 1 && now.Day <= 31);
    EXPECT_TRUE(now.Hour >= 0 && now.Hour <= 23);
    const std::time_t read = LocalSeconds(now);
    EXPECT_GE(read, before - 1);
    EXPECT_LE(read, after + 1);
}

}  // namespace
