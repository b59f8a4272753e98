#include "platform/Numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using Platform::NumberText;

namespace {

struct ParseCase {
    const char* Text;
    std::optional<double> Expected;
};

TEST(Numbers, ParsesPlainDecimalNumbersOnly) {
    const ParseCase cases[] = {
        {"800", 800},
        {" 12 ", 12},
        {"-5", -5},
        {"+7", 7},
        {"0.5", 0.5},
        {".5", 0.5},
        {"5.", 5},
        {"1e3", 1000},
        {"2.5E-1", 0.25},
        {"0", 0},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {"1.2.3", std::nullopt},
        {"nan", std::nullopt},
        {"inf", std::nullopt},
        {"0x10", std::nullopt},
        {"1e", std::nullopt},
        {"--1", std::nullopt},
        {".", std::nullopt},
        {"1,5", std::nullopt},
        {"\xc2\xb2", std::nullopt},
    };
    for (const ParseCase& c : cases) {
        const auto value = Platform::ParseNumber(QString::fromUtf8(c.Text), NumberText::Stored);
        EXPECT_EQ(value.has_value(), c.Expected.has_value()) << c.Text;
        if (value && c.Expected) {
            EXPECT_DOUBLE_EQ(*value, *c.Expected) << c.Text;
        }
    }
}

TEST(Numbers, TypedTextAcceptsTheLocaleSeparatorAndThePoint) {
    EXPECT_EQ(Platform::ParseNumber("0,5", NumberText::Typed, u','), 0.5);
    EXPECT_EQ(Platform::ParseNumber("0.5", NumberText::Typed, u','), 0.5);
    EXPECT_FALSE(Platform::ParseNumber("1,000.5", NumberText::Typed, u','));
    // The store never takes a locale's comma.
    EXPECT_FALSE(Platform::ParseNumber("0,5", NumberText::Stored, u','));
}

TEST(Numbers, HugeExponentsOverflowAndTinyOnesUnderflow) {
    const auto huge = Platform::ParseNumber("1e999", NumberText::Stored);
    ASSERT_TRUE(huge);
    EXPECT_TRUE(std::isinf(*huge));
    EXPECT_FALSE(Platform::ToInt16(*huge));
    EXPECT_EQ(Platform::ParseNumber("1e-999", NumberText::Stored), 0.0);
}

TEST(Numbers, Int16RoundsToNearestWithTiesToEven) {
    const struct {
        double In;
        int Out;
    } cases[] = {{12.5, 12},         {13.5, 14}, {640.5, 640}, {641.5, 642},
                 {800.4, 800},       {-0.5, 0},  {-1.5, -2},   {32767.4, 32767},
                 {-32768.5, -32768}, {0, 0},     {-5, -5}};
    for (const auto& c : cases) {
        const auto value = Platform::ToInt16(c.In);
        ASSERT_TRUE(value) << c.In;
        EXPECT_EQ(*value, c.Out) << c.In;
    }
    for (double bad : {32767.5, 32768.0, -32769.0, 1e10, std::nan(""), double(INFINITY)}) {
        EXPECT_FALSE(Platform::ToInt16(bad)) << bad;
    }
}

TEST(Numbers, SingleTextIsTheShortestThatReadsBack) {
    EXPECT_EQ(Platform::SingleToText(2.0f), "2");
    EXPECT_EQ(Platform::SingleToText(0.5f), "0.5");
    EXPECT_EQ(Platform::SingleToText(0.1f), "0.1");
    EXPECT_EQ(Platform::SingleToText(0.0625f), "0.0625");
    EXPECT_EQ(Platform::SingleToText(-3.25f), "-3.25");
    for (float f : {0.1f, 1.0f / 3.0f, 123456.79f, 1e-7f, 3e38f}) {
        const auto back = Platform::ParseNumber(Platform::SingleToText(f), NumberText::Stored);
        ASSERT_TRUE(back);
        EXPECT_EQ(static_cast<float>(*back), f);
    }
    EXPECT_FALSE(Platform::ToSingle(1e39));
}

TEST(Numbers, TimerIntervalIsThePeriodInMillisecondsRoundedToEven) {
    const struct {
        float Period;
        int Interval;
    } cases[] = {{2.0f, 2000}, {0.0625f, 62}, {0.5f, 500},         {0.1f, 100},
                 {0.0f, 0},    {0.0005f, 0},  {1.5e6f, 1500000000}};
    for (const auto& c : cases) {
        const auto interval = Platform::TimerIntervalFromPeriod(c.Period);
        ASSERT_TRUE(interval) << c.Period;
        EXPECT_EQ(*interval, c.Interval) << c.Period;
    }
    // Beyond a 32-bit interval, infinite, or negative: no timer can hold it.
    for (float bad : {3e6f, 1e30f, INFINITY, -1.0f}) {
        EXPECT_FALSE(Platform::TimerIntervalFromPeriod(bad)) << bad;
    }
}

}  // namespace
