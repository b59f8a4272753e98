#include "platform/win32/Win32Screen.h"

#include "common/win32/Win32WideText.h"

#include <windows.h>

namespace Platform::Win32 {

KestrelMain::Result<Seam::ScreenRect> Win32Screen::ReadPrimaryScreen() {
    HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (primary == nullptr || !GetMonitorInfoW(primary, &info)) {
        return KestrelMain::Failure{
            "Cannot find the primary screen", {}, SystemReason(GetLastError())};
    }
    const RECT& r = info.rcMonitor;
    return Seam::ScreenRect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

KestrelMain::Result<Seam::PointerReading> Win32Screen::ReadPointer(
    const Seam::ScreenRect& primaryScreen) {
    POINT point{};
    if (!GetCursorPos(&point)) {
        return KestrelMain::Failure{
            "Cannot read the pointer position", {}, SystemReason(GetLastError())};
    }
    return Seam::PointerReading::At(static_cast<std::int32_t>(point.x - primaryScreen.X),
                                    static_cast<std::int32_t>(point.y - primaryScreen.Y));
}

bool BecomePerMonitorDpiAware() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr)
        return false;
    auto set = reinterpret_cast<SetContext>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, spelled out for headers that lack it.
    return set != nullptr && set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))) != FALSE;
}

}  // namespace Platform::Win32
