#include "platform/win32/Win32Clock.h"

#include <windows.h>

namespace Platform::Win32 {

KestrelMain::LocalDateTime Win32Clock::ReadLocalTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return KestrelMain::LocalDateTime{now.wYear, now.wMonth,  now.wDay,
                                      now.wHour, now.wMinute, now.wSecond};
}

}  // namespace Platform::Win32
