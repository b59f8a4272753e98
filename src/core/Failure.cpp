#include "core/Failure.h"

namespace KestrelMain {

std::string Failure::Text() const {
    // Typographic quotes around the path, as UTF-8 bytes whatever the compiler's
    // execution character set.
    static constexpr char OPEN_QUOTE[] = "\xE2\x80\x9C";
    static constexpr char CLOSE_QUOTE[] = "\xE2\x80\x9D";
    std::string text = What;
    if (!Path.empty())
        text += std::string(" ") + OPEN_QUOTE + Path + CLOSE_QUOTE;
    if (!Reason.empty())
        text += ": " + Reason;
    return text;
}

}  // namespace KestrelMain
