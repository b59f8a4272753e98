// The numeric test and the conversions on arbitrary text: no crash, no undefined
// behaviour, and every number that is accepted converts or fails cleanly.
#include "core/Numbers.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (auto kind : {KestrelMain::NumberText::Stored, KestrelMain::NumberText::Typed}) {
        const auto number = KestrelMain::ParseNumber(text, kind, ",");
        if (!number)
            continue;
        if (std::isnan(*number))
            std::abort();  // never a number that is not one

        if (const auto small = KestrelMain::ToInt16(*number)) {
            if (std::fabs(static_cast<double>(*small) - *number) > 0.5)
                std::abort();
        } else if (std::fabs(*number) < 32767.0) {
            std::abort();  // in range yet refused
        }
        if (const auto single = KestrelMain::ToSingle(*number)) {
            // The stored text of a single is plain decimal and reads back to the very same
            // single.
            const std::string stored = KestrelMain::SingleToText(*single);
            if (stored.find_first_of("eE") != std::string::npos)
                std::abort();
            const auto back = KestrelMain::ParseNumber(stored, KestrelMain::NumberText::Stored);
            if (!back || static_cast<float>(*back) != *single)
                std::abort();
            if (const auto interval = KestrelMain::TimerIntervalFromPeriod(*single)) {
                if (*interval < 0)
                    std::abort();
            }
        }
    }
    return 0;
}
