#include "core/Numbers.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

using KestrelMain::NumberText;

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
        const auto value = KestrelMain::ParseNumber(c.Text, NumberText::Stored);
        EXPECT_EQ(value.has_value(), c.Expected.has_value()) << c.Text;
        if (value && c.Expected) {
            EXPECT_DOUBLE_EQ(*value, *c.Expected) << c.Text;
        }
    }
}

TEST(Numbers, TypedTextAcceptsTheLocaleSeparatorAndThePoint) {
    EXPECT_EQ(KestrelMain::ParseNumber("0,5", NumberText::Typed, ","), 0.5);
    EXPECT_EQ(KestrelMain::ParseNumber("0.5", NumberText::Typed, ","), 0.5);
    EXPECT_FALSE(KestrelMain::ParseNumber("1,000.5", NumberText::Typed, ","));
    // The store never takes a locale's comma.
    EXPECT_FALSE(KestrelMain::ParseNumber("0,5", NumberText::Stored, ","));
}

TEST(Numbers, TypedTextTakesALocaleSeparatorOfSeveralBytes) {
    // U+066B ARABIC DECIMAL SEPARATOR, two bytes in UTF-8.
    const std::string arabic = "\xD9\xAB";
    EXPECT_EQ(KestrelMain::ParseNumber("0" + arabic + "5", NumberText::Typed, arabic), 0.5);
    EXPECT_FALSE(KestrelMain::ParseNumber("0" + arabic + "5", NumberText::Stored, arabic));
    EXPECT_FALSE(KestrelMain::ParseNumber("1" + arabic + "2.5", NumberText::Typed, arabic));
    // Only the whole separator counts: its first byte alone is not a number's.
    EXPECT_FALSE(
        KestrelMain::ParseNumber("0\xD9"
                                 "5",
                                 NumberText::Typed, arabic));
    // Without a locale separator, typed text takes the point only.
    EXPECT_FALSE(KestrelMain::ParseNumber("0,5", NumberText::Typed));
}

TEST(Numbers, LongTextsAreNotNumbers) {
    EXPECT_TRUE(KestrelMain::ParseNumber(std::string(400, '1')));
    EXPECT_FALSE(KestrelMain::ParseNumber(std::string(401, '1')));
    EXPECT_TRUE(KestrelMain::ParseNumber("  " + std::string(400, '1') + "\t"));
}

TEST(Numbers, HugeExponentsOverflowAndTinyOnesUnderflow) {
    const auto huge = KestrelMain::ParseNumber("1e999", NumberText::Stored);
    ASSERT_TRUE(huge);
    EXPECT_TRUE(std::isinf(*huge));
    EXPECT_FALSE(KestrelMain::ToInt16(*huge));
    EXPECT_EQ(KestrelMain::ParseNumber("1e-999", NumberText::Stored), 0.0);
}

TEST(Numbers, Int16RoundsToNearestWithTiesToEven) {
    const struct {
        double In;
        int Out;
    } cases[] = {{12.5, 12},         {13.5, 14}, {640.5, 640}, {641.5, 642},
                 {800.4, 800},       {-0.5, 0},  {-1.5, -2},   {32767.4, 32767},
                 {-32768.5, -32768}, {0, 0},     {-5, -5}};
    for (const auto& c : cases) {
        const auto value = KestrelMain::ToInt16(c.In);
        ASSERT_TRUE(value) << c.In;
        EXPECT_EQ(*value, c.Out) << c.In;
    }
    for (double bad : {32767.5, 32768.0, -32769.0, 1e10, std::nan(""), double(INFINITY)}) {
        EXPECT_FALSE(KestrelMain::ToInt16(bad)) << bad;
    }
}

std::optional<float> ReadBackSingle(const std::string& text) {
    const auto number = KestrelMain::ParseNumber(text, NumberText::Stored);
    if (!number)
        return std::nullopt;
    const auto single = KestrelMain::ToSingle(*number);
    if (!single)
        return std::nullopt;
    return *single;
}

TEST(Numbers, SingleTextIsTheShortestPlainDecimalThatReadsBack) {
    const std::string tiniest = "0." + std::string(44, '0') + "1";
    const struct {
        float Value;
        std::string Text;
    } cases[] = {
        {2.0f, "2"},
        {0.5f, "0.5"},
        {0.1f, "0.1"},
        {0.0625f, "0.0625"},
        {-3.25f, "-3.25"},
        {0.0f, "0"},
        {100000.0f, "100000"},
        {0.0006f, "0.0006"},
        {1e-7f, "0.0000001"},
        {123456.79f, "123456.79"},
        {16777216.0f, "16777216"},
        {1e10f, "10000000000"},
        {3.4e38f, "34" + std::string(37, '0')},
        {std::numeric_limits<float>::max(), "34028235" + std::string(31, '0')},
        {std::numeric_limits<float>::denorm_min(), tiniest},
        {-std::numeric_limits<float>::denorm_min(), "-" + tiniest},
    };
    for (const auto& c : cases) {
        const std::string text = KestrelMain::SingleToText(c.Value);
        EXPECT_EQ(text, c.Text) << c.Value;
        EXPECT_EQ(ReadBackSingle(text), c.Value) << c.Text;
    }
    EXPECT_FALSE(KestrelMain::ToSingle(1e39));
}

TEST(Numbers, SingleTextHasNoExponentAnywhereInTheRange) {
    // Every 7919th bit pattern, both signs: subnormals, the largest floats, all between.
    for (std::uint32_t bits = 0; bits < 0x7f800000u; bits += 7919) {
        for (std::uint32_t sign : {0u, 0x80000000u}) {
            const float value = std::bit_cast<float>(bits | sign);
            const std::string text = KestrelMain::SingleToText(value);
            ASSERT_EQ(text.find_first_of("eE"), std::string::npos) << text;
            ASSERT_EQ(ReadBackSingle(text), value) << text;
        }
    }
}

TEST(Numbers, StoredTextWithAnExponentStillReads) {
    const struct {
        const char* Text;
        float Value;
    } cases[] = {
        {"1e+05", 100000.0f},
        {"6e-04", 0.0006f},
        {"2", 2.0f},
        {"3.4e+38", 3.4e38f},
        {"1e-45", std::numeric_limits<float>::denorm_min()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadBackSingle(c.Text), c.Value) << c.Text;
        // Written again in the plain form.
        EXPECT_EQ(KestrelMain::SingleToText(c.Value).find('e'), std::string::npos) << c.Text;
    }
}

TEST(Numbers, TimerIntervalIsThePeriodInMillisecondsRoundedToEven) {
    const struct {
        float Period;
        int Interval;
    } cases[] = {{2.0f, 2000}, {0.0625f, 62}, {0.5f, 500},         {0.1f, 100},
                 {0.0f, 0},    {0.0005f, 0},  {1.5e6f, 1500000000}};
    for (const auto& c : cases) {
        const auto interval = KestrelMain::TimerIntervalFromPeriod(c.Period);
        ASSERT_TRUE(interval) << c.Period;
        EXPECT_EQ(*interval, c.Interval) << c.Period;
    }
    // Beyond a 32-bit interval, infinite, or negative: no timer can hold it.
    for (float bad : {3e6f, 1e30f, INFINITY, -1.0f}) {
        EXPECT_FALSE(KestrelMain::TimerIntervalFromPeriod(bad)) << bad;
    }
}

}  // namespace
