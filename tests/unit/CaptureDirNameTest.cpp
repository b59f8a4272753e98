#include "core/CaptureDirectory.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

namespace {

TEST(CaptureDirName, JoinsBaseDateAndTimeByPlainConcatenation) {
    const QDateTime moment(QDate(2000, 2, 1), QTime(9, 5, 7));
    const Platform::ClockReading clock = Platform::FormatClock(moment);
    EXPECT_EQ(clock.Date, "01022000");
    EXPECT_EQ(clock.Time, "090507");
    EXPECT_EQ(KestrelMain::ComposeCaptureDirName("/data/shots/", clock),
              "/data/shots/KESTREL_01022000_090507");
    // A base without its trailing separator is joined unchanged.
    EXPECT_EQ(KestrelMain::ComposeCaptureDirName("/data/shots", clock),
              "/data/shotsKESTREL_01022000_090507");
}

TEST(CaptureDirName, UsesTheTwentyFourHourClock) {
    const auto clock = Platform::FormatClock(QDateTime(QDate(2000, 5, 10), QTime(22, 44, 8)));
    EXPECT_EQ(KestrelMain::ComposeCaptureDirName("/", clock), "/KESTREL_10052000_224408");
}

}  // namespace
