// The one place where the core's UTF-8 text meets Windows' UTF-16: every ...W call gets
// its strings from here, and every text the system gives back goes through here.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace Platform::Win32 {

// Invalid UTF-8 turns into U+FFFD rather than failing: a message is still worth showing.
std::wstring WideText(std::string_view utf8);
std::string Utf8Text(std::wstring_view wide);

// The system's own reason for an error code, as FormatMessageW gives it, without its
// trailing line break; the number when the system has no text for it.
std::string SystemReason(DWORD error);

}  // namespace Platform::Win32
