#include "ui/win32/Layout.h"

namespace Ui::Win32 {

namespace {

template <typename Function>
Function User32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr)
        return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

UINT SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

int Pixels(int twips, UINT dpi) {
    return MulDiv(twips, static_cast<int>(dpi), 1440);
}

UINT WindowDpi(HWND window) {
    using GetDpi = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32Function<GetDpi>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        if (UINT dpi = getDpiForWindow(window); dpi != 0)
            return dpi;
    }
    return SystemDpi();
}

SIZE FrameFor(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi) {
    RECT frame{0, 0, clientWidth, clientHeight};
    using Adjust = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = User32Function<Adjust>("AdjustWindowRectExForDpi");
    if (adjustForDpi == nullptr || !adjustForDpi(&frame, style, FALSE, exStyle, dpi))
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

HFONT MessageFontFor(UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    using ForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto forDpi = User32Function<ForDpi>("SystemParametersInfoForDpi");
    if (forDpi != nullptr && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        return CreateFontIndirectW(&metrics.lfMessageFont);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    // Given at the system's DPI: scaled to this window's.
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                            static_cast<int>(SystemDpi()));
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

void DeleteFont(HFONT font) {
    // The stock font is the system's, never deleted.
    if (font != nullptr && font != GetStockObject(DEFAULT_GUI_FONT))
        DeleteObject(font);
}

void CreateControls(HWND parent, std::span<const ControlLayout> controls) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const ControlLayout& control : controls) {
        CreateWindowExW(0, control.kind, control.text, WS_CHILD | WS_VISIBLE | control.style, 0, 0,
                        0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                        instance, nullptr);
    }
}

void LayOutControls(HWND parent, std::span<const ControlLayout> controls, SIZE clientTwips,
                    HFONT font, UINT dpi) {
    for (const ControlLayout& control : controls) {
        HWND handle = GetDlgItem(parent, control.id);
        SetWindowPos(handle, nullptr, Pixels(control.twips.left, dpi),
                     Pixels(control.twips.top, dpi), Pixels(control.twips.width, dpi),
                     Pixels(control.twips.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(parent, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(parent, GWL_EXSTYLE));
    const SIZE frame =
        FrameFor(Pixels(clientTwips.cx, dpi), Pixels(clientTwips.cy, dpi), style, exStyle, dpi);
    SetWindowPos(parent, nullptr, 0, 0, frame.cx, frame.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(parent, nullptr, TRUE);
}

}  // namespace Ui::Win32
