// Numeric tests and conversions. The settings store always holds locale-independent
// text ("0.5"); what the user types may also use the system locale's decimal separator.
#pragma once

#include "platform/qt/Failure.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace Platform {

enum class NumberText {
    Stored,  // settings store: "." only
    Typed,   // user input: "." or the system locale's decimal separator
};

// A plain decimal number, optionally signed, with an optional fraction and exponent,
// surrounded by optional blanks. Infinity, NaN and hexadecimal are not numbers here.
// Returns the value as a double; nullopt when the text is not numeric. A numeric text
// whose magnitude exceeds a double gives +-infinity, which the conversions reject.
std::optional<double> ParseNumber(const QString& text, NumberText kind = NumberText::Typed,
                                  QChar localeDecimalPoint = QChar());

// Nearest integer, a tie going to the even neighbour; an overflow failure outside
// -32768..32767 (and for a value that is not finite).
Result<std::int16_t> ToInt16(double value);
Result<std::int32_t> ToInt32(double value);

// The single-precision value of a double; an overflow failure when it is not finite
// as a float.
Result<float> ToSingle(double value);

// The shortest plain decimal text that reads back to the same float: "2", "0.5", "0.1",
// "100000", "0.0006"; never an exponent, so the largest and the tiniest floats come out
// as long runs of digits.
QString SingleToText(float value);

// Timer interval in milliseconds for a period in seconds: period x 1000 in single
// precision, rounded to nearest, ties to even. Fails when the product overflows or
// the interval is negative (no timer can hold it).
Result<std::int32_t> TimerIntervalFromPeriod(float periodSeconds);

Failure OverflowFailure(const QString& what);

}  // namespace Platform
