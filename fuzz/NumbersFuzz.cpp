// The numeric test and the conversions on arbitrary text: no crash, no undefined
// behaviour, and every number that is accepted converts or fails cleanly.
#include "platform/Numbers.h"

#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (auto kind : {Platform::NumberText::Stored, Platform::NumberText::Typed}) {
        const auto number = Platform::ParseNumber(text, kind, u',');
        if (!number)
            continue;
        if (std::isnan(*number))
            std::abort();  // never a number that is not one

        if (const auto small = Platform::ToInt16(*number)) {
            if (std::fabs(static_cast<double>(*small) - *number) > 0.5)
                std::abort();
        } else if (std::fabs(*number) < 32767.0) {
            std::abort();  // in range yet refused
        }
        if (const auto single = Platform::ToSingle(*number)) {
            // The stored text of a single is plain decimal and reads back to the very same
            // single.
            const QString stored = Platform::SingleToText(*single);
            if (stored.contains(u'e') || stored.contains(u'E'))
                std::abort();
            const auto back = Platform::ParseNumber(stored, Platform::NumberText::Stored);
            if (!back || static_cast<float>(*back) != *single)
                std::abort();
            if (const auto interval = Platform::TimerIntervalFromPeriod(*single)) {
                if (*interval < 0)
                    std::abort();
            }
        }
    }
    return 0;
}
