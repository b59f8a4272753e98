#include "ui/win32/Layout.h"

#include "common/win32/Win32WideText.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

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

using KestrelMain::ControlKind;
using KestrelMain::ControlLayout;

// The layouts' tightest fit: the main window's first line in its box.
const ControlLayout& TightestCaption() {
    return KestrelMain::MAIN_FORM.Control("Label1");
}

int CaptionWidth(HDC dc, const LOGFONTW& font) {
    HFONT measured = CreateFontIndirectW(&font);
    if (measured == nullptr)
        return 0;
    HGDIOBJ old = SelectObject(dc, measured);
    const std::wstring caption = Platform::Win32::WideText(TightestCaption().Caption);
    SIZE extent{};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
    SelectObject(dc, old);
    DeleteObject(measured);
    return extent.cx;
}

// Identifiers clear of IDOK and IDCANCEL, which Enter and Escape send: no button is the
// default or the cancel button.
constexpr int FIRST_CONTROL_ID = 101;

int ControlId(const KestrelMain::WindowLayout& layout, const ControlLayout& control) {
    return FIRST_CONTROL_ID + static_cast<int>(&control - layout.Controls.data());
}

// The window class and style beyond WS_CHILD of each kind of control.
const wchar_t* ClassOf(ControlKind kind) {
    switch (kind) {
        case ControlKind::Button:
        case ControlKind::CheckBox:
            return L"BUTTON";
        case ControlKind::TextBox:
            return L"EDIT";
        case ControlKind::Label:
        case ControlKind::Line:
            break;
    }
    return L"STATIC";
}

DWORD StyleOf(ControlKind kind) {
    switch (kind) {
        case ControlKind::Button:
            return WS_TABSTOP | BS_PUSHBUTTON;
        case ControlKind::CheckBox:
            return WS_TABSTOP | BS_AUTOCHECKBOX;
        case ControlKind::TextBox:
            // Free text, scrolled sideways when it outgrows the box.
            return WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
        case ControlKind::Label:
            // Paths verbatim: an ampersand is a character, not an access key.
            return SS_LEFT | SS_NOPREFIX;
        case ControlKind::Line:
            return SS_BLACKRECT;
    }
    return 0;
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
    const int room = Pixels(TightestCaption().Twips.Width, dpi);
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

void CreateControls(HWND parent, const KestrelMain::WindowLayout& layout) {
    std::vector<const ControlLayout*> order;
    for (const ControlLayout& control : layout.Controls) order.push_back(&control);
    // A line has no tab index and goes last.
    std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) {
        return static_cast<unsigned>(a->TabIndex) < static_cast<unsigned>(b->TabIndex);
    });
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const ControlLayout* control : order) {
        const DWORD style = WS_CHILD | StyleOf(control->Kind) |
                            (control->Visible ? WS_VISIBLE : 0u) |
                            (control->Enabled ? 0u : static_cast<DWORD>(WS_DISABLED));
        // A text box has the sunken frame of one, and nothing limits how much is typed.
        const bool text = control->Kind == ControlKind::TextBox;
        HWND made = CreateWindowExW(
            text ? WS_EX_CLIENTEDGE : 0, ClassOf(control->Kind),
            Platform::Win32::WideText(control->Caption).c_str(), style, 0, 0, 0, 0, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(layout, *control))), instance,
            nullptr);
        if (text)
            SendMessageW(made, EM_SETLIMITTEXT, 0, 0);
    }
}

HWND ControlOf(HWND parent, const KestrelMain::WindowLayout& layout, const char* name) {
    return GetDlgItem(parent, ControlId(layout, layout.Control(name)));
}

void LayOutControls(HWND parent, const KestrelMain::WindowLayout& layout, HFONT font, UINT dpi) {
    for (const ControlLayout& control : layout.Controls) {
        const KestrelMain::TwipsRect& twips = control.Twips;
        // A line is one pixel thick at 96 dpi, scaled with the rest.
        const int height = twips.Height == 0 ? Pixels(15, dpi) : Pixels(twips.Height, dpi);
        HWND handle = GetDlgItem(parent, ControlId(layout, control));
        SetWindowPos(handle, nullptr, Pixels(twips.Left, dpi), Pixels(twips.Top, dpi),
                     Pixels(twips.Width, dpi), height, SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(parent, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(parent, GWL_EXSTYLE));
    const SIZE frame = FrameFor(Pixels(layout.ClientWidth, dpi), Pixels(layout.ClientHeight, dpi),
                                style, exStyle, dpi);
    SetWindowPos(parent, nullptr, 0, 0, frame.cx, frame.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(parent, nullptr, TRUE);
}

}  // namespace Ui::Win32
