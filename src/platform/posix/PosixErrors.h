// The C library's failures put into words.
#pragma once

#include <string>

namespace Platform::Posix {

// The system's text for an errno value.
std::string ErrnoText(int errnoValue);

}  // namespace Platform::Posix
