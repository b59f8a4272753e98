// The capture directory's name, and the date and time texts it is made of.
#include "core/FileName.h"
#include "core/LocalTime.h"

#include <gtest/gtest.h>

namespace {

using KestrelMain::ComposeCaptureDirName;
using KestrelMain::LocalDateTime;

TEST(CaptureDirName, JoinsBaseDateAndTimeByPlainConcatenation) {
    const LocalDateTime moment{2000, 2, 1, 9, 5, 7};
    EXPECT_EQ(KestrelMain::FormatDate(moment), "01022000");
    EXPECT_EQ(KestrelMain::FormatTime(moment), "090507");
    EXPECT_EQ(ComposeCaptureDirName("/data/shots/", moment), "/data/shots/KESTREL_01022000_090507");
    // A base without its trailing separator is joined unchanged.
    EXPECT_EQ(ComposeCaptureDirName("/data/shots", moment), "/data/shotsKESTREL_01022000_090507");
}

TEST(CaptureDirName, UsesTheTwentyFourHourClock) {
    EXPECT_EQ(ComposeCaptureDirName("/", LocalDateTime{2000, 5, 10, 22, 44, 8}),
              "/KESTREL_10052000_224408");
}

TEST(CaptureDirName, DateAndTimeFieldsAreZeroPaddedToTheirWidth) {
    const struct {
        LocalDateTime Moment;
        const char* Date;
        const char* Time;
    } cases[] = {
        {{2000, 1, 1, 0, 0, 0}, "01012000", "000000"},
        {{1999, 12, 31, 23, 59, 59}, "31121999", "235959"},
        {{2026, 12, 7, 12, 0, 9}, "07122026", "120009"},
        {{987, 3, 4, 5, 6, 7}, "04030987", "050607"},  // a year below 1000 keeps four digits
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KestrelMain::FormatDate(c.Moment), c.Date);
        EXPECT_EQ(KestrelMain::FormatTime(c.Moment), c.Time);
    }
}

TEST(CaptureDirName, KeepsTheBasePathsOwnLetters) {
    EXPECT_EQ(
        ComposeCaptureDirName("/home/j\xC3\xB6rg/Bilder/", LocalDateTime{2001, 6, 30, 7, 8, 9}),
        "/home/j\xC3\xB6rg/Bilder/KESTREL_30062001_070809");
}

}  // namespace
