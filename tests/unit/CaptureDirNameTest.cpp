#include "core/CaptureDirectory.h"
#include "core/Settings.h"
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

TEST(StoredSettings, ConvertOrFallBackToTheDefault) {
    const struct {
        const char* Text;
        int Value;
        bool Problem;
    } cases[] = {{"1024", 1024, false}, {"12.5", 12, false},  {"-5", -5, false}, {"abc", 800, true},
                 {"", 800, true},       {"40000", 800, true}, {"1e9", 800, true}};
    for (const auto& c : cases) {
        const auto stored = KestrelMain::Int16FromStore(QString::fromUtf8(c.Text), 800);
        EXPECT_EQ(stored.Value, c.Value) << c.Text;
        EXPECT_EQ(!stored.Problem.isEmpty(), c.Problem) << c.Text;
    }
    EXPECT_EQ(KestrelMain::SingleFromStore("0.5", 2.0f).Value, 0.5f);
    EXPECT_EQ(KestrelMain::SingleFromStore("x", 2.0f).Value, 2.0f);
    EXPECT_FALSE(KestrelMain::SingleFromStore("1e40", 2.0f).Problem.isEmpty());
}

}  // namespace
