#include "ui/win32/Layout.h"

#include <iterator>

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

// The face the layouts were drawn for, then its outline successor, then the sans-serif faces
// a Windows or a Wine prefix usually has, nearest first.
constexpr const wchar_t* SANS_SERIF_FACES[] = {
    L"MS Sans Serif", L"Microsoft Sans Serif", L"Tahoma",
    L"Arial",         L"Liberation Sans",      L"DejaVu Sans",
};

int CALLBACK AnyFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// The layouts' tightest fit: the main window's first line in its 4095 twips.
constexpr wchar_t TIGHTEST_CAPTION[] =
    L"This program will save screen captures into the directory:";
constexpr int TIGHTEST_CAPTION_TWIPS = 4095;

int CaptionWidth(HDC dc, const LOGFONTW& font) {
    HFONT measured = CreateFontIndirectW(&font);
    if (measured == nullptr)
        return 0;
    HGDIOBJ old = SelectObject(dc, measured);
    SIZE extent{};
    GetTextExtentPoint32W(dc, TIGHTEST_CAPTION, static_cast<int>(std::size(TIGHTEST_CAPTION)) - 1,
                          &extent);
    SelectObject(dc, old);
    DeleteObject(measured);
    return extent.cx;
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

const wchar_t* SansSerifFace(const std::function<bool(const wchar_t*)>& installed) {
    for (const wchar_t* face : SANS_SERIF_FACES) {
        if (installed(face))
            return face;
    }
    return L"";
}

bool FaceInstalled(const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    HDC screen = GetDC(nullptr);
    if (screen == nullptr)
        return false;
    EnumFontFamiliesExW(screen, &wanted, &AnyFace, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

HFONT FormFontFor(UINT dpi) {
    LOGFONTW font{};
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    static const wchar_t* const face = SansSerifFace(&FaceInstalled);
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    // 8 points as a character height in pixels at dpi. The faces that stand in for the
    // original run a few percent wider, which the tightest caption does not have to spare:
    // they are made a pixel smaller at a time until it fits, though never below 7 points.
    const int room = Pixels(TIGHTEST_CAPTION_TWIPS, dpi);
    const int smallest = MulDiv(7, static_cast<int>(dpi), 72);
    font.lfHeight = -MulDiv(8, static_cast<int>(dpi), 72);
    if (HDC screen = GetDC(nullptr)) {
        while (-font.lfHeight > smallest && CaptionWidth(screen, font) > room) ++font.lfHeight;
        ReleaseDC(nullptr, screen);
    }
    HFONT made = CreateFontIndirectW(&font);
    return made != nullptr ? made : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
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
