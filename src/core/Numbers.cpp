#include "core/Numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

namespace KestrelMain {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Checks the shape of a plain decimal number in ASCII with "." as its separator.
bool HasNumberShape(const std::string& s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    if (i < n && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            ++i;
        std::size_t expDigits = 0;
        while (i < n && s[i] >= '0' && s[i] <= '9') ++i, ++expDigits;
        if (expDigits == 0)
            return false;
    }
    return i == n;
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text, NumberText kind,
                                  std::string_view localeDecimalPoint) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    // Every character a number may hold is one byte here but the locale's separator, so
    // the bytes bound the characters; the exact limit is checked on the ASCII form.
    if (begin == end || end - begin > 400 * 4)
        return std::nullopt;

    const std::string_view localPoint =
        kind == NumberText::Typed ? localeDecimalPoint : std::string_view();

    std::string ascii;
    ascii.reserve(end - begin);
    int separators = 0;
    for (std::size_t i = begin; i < end;) {
        const char c = text[i];
        if (c == '.') {
            ascii.push_back('.');
            ++separators;
            ++i;
        } else if (!localPoint.empty() && text.substr(i, localPoint.size()) == localPoint) {
            ascii.push_back('.');
            ++separators;
            i += localPoint.size();
        } else if (static_cast<unsigned char>(c) < 128) {
            ascii.push_back(c);
            ++i;
        } else {
            return std::nullopt;
        }
    }
    if (ascii.size() > 400)
        return std::nullopt;
    if (separators > 1 || !HasNumberShape(ascii))
        return std::nullopt;

    const char* first = ascii.data();
    const char* last = ascii.data() + ascii.size();
    if (*first == '+')
        ++first;  // from_chars takes no leading plus
    double value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec == std::errc::result_out_of_range) {
        // Too small underflows to zero; too large is an overflow the caller reports.
        const bool negative = *first == '-';
        const std::size_t ePos = ascii.find_first_of("eE");
        const bool tinyExponent = ePos != std::string::npos && ascii[ePos + 1] == '-';
        if (tinyExponent)
            return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }
    if (ec != std::errc() || ptr != last)
        return std::nullopt;
    return value;
}

Failure OverflowFailure(std::string what) {
    return Failure{std::move(what), std::string(), "Overflow"};
}

template <class Int>
static Result<Int> RoundToInteger(double value, const char* what) {
    if (!std::isfinite(value))
        return OverflowFailure(what);
    // nearbyint uses the current rounding mode, which is round-to-nearest-even here.
    const double rounded = std::nearbyint(value);
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
        return OverflowFailure(what);
    }
    return static_cast<Int>(rounded);
}

Result<std::int16_t> ToInt16(double value) {
    return RoundToInteger<std::int16_t>(value, "The number does not fit in -32768..32767");
}

Result<std::int32_t> ToInt32(double value) {
    return RoundToInteger<std::int32_t>(value, "The number does not fit in a 32-bit integer");
}

Result<float> ToSingle(double value) {
    const float single = static_cast<float>(value);
    if (!std::isfinite(single)) {
        return OverflowFailure("The number does not fit in single precision");
    }
    return single;
}

std::string SingleToText(float value) {
    // The shortest digits that read back come in scientific form ("3.4e+38", "6e-04");
    // written out around the decimal point they keep those digits and gain only zeros.
    // Fixed notation of the library would pick, among texts of equal length, the exact
    // value's digits ("339999995214436424907732413799364296704").
    char buffer[32];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    if (ec != std::errc())
        return "0";
    const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    const std::size_t e = text.find('e');
    if (e == std::string_view::npos)
        return std::string(text);  // nan, inf

    std::string_view mantissa = text.substr(0, e);
    std::string result;
    if (!mantissa.empty() && mantissa.front() == '-') {
        result.push_back('-');
        mantissa.remove_prefix(1);
    }
    std::string digits;
    for (char c : mantissa) {
        if (c != '.')
            digits.push_back(c);
    }
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0), text.data() + text.size(),
                    exponent);
    // Digits before the decimal point: d.ddd x 10^exponent has exponent + 1 of them.
    const long before = static_cast<long>(exponent) + 1;
    const long count = static_cast<long>(digits.size());
    if (before <= 0) {
        result += "0.";
        result.append(static_cast<std::size_t>(-before), '0');
        result += digits;
    } else if (before >= count) {
        result += digits;
        result.append(static_cast<std::size_t>(before - count), '0');
    } else {
        result.append(digits, 0, static_cast<std::size_t>(before));
        result.push_back('.');
        result.append(digits, static_cast<std::size_t>(before));
    }
    return result;
}

Result<std::int32_t> TimerIntervalFromPeriod(float periodSeconds) {
    const float product = periodSeconds * 1000.0f;
    if (!std::isfinite(product)) {
        return OverflowFailure("The timer interval is out of range");
    }
    auto interval = ToInt32(static_cast<double>(product));
    if (!interval)
        return OverflowFailure("The timer interval is out of range");
    if (*interval < 0) {
        return Failure{"The timer interval is out of range", std::string(),
                       "a negative interval cannot be timed"};
    }
    return interval;
}

}  // namespace KestrelMain
