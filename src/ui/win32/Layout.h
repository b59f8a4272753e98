// What the native windows share in laying themselves out: positions and sizes given in
// twips, converted at the window's own DPI (15 twips to a pixel at 96 dpi), the system's
// message font as the dialog font, and the frame around a client area of a given size.
#pragma once

#include <windows.h>

#include <span>

namespace Ui::Win32 {

struct TwipsRect {
    int left, top, width, height;
};

// One child control: its identifier, window class ("BUTTON", "STATIC", "EDIT"...), caption,
// style beyond WS_CHILD | WS_VISIBLE, and place.
struct ControlLayout {
    int id;
    const wchar_t* kind;
    const wchar_t* text;
    DWORD style;
    TwipsRect twips;
};

int Pixels(int twips, UINT dpi);

// The window's DPI where the system tells it per window (Windows 10 on), else the system's.
UINT WindowDpi(HWND window);

// The outer size of a window of these styles whose client area is width x height pixels.
SIZE FrameFor(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi);

// The system's message font at dpi: the dialog font every control uses. The caller owns it
// (DeleteFont below).
HFONT MessageFontFor(UINT dpi);
void DeleteFont(HFONT font);

// Creates the controls as children of parent, hidden from layout until LayOutControls; the
// order of creation is the order of the tab stops.
void CreateControls(HWND parent, std::span<const ControlLayout> controls);

// Places each control at its twips converted at dpi, gives it font, and sizes parent to a
// client area of clientTwips.
void LayOutControls(HWND parent, std::span<const ControlLayout> controls, SIZE clientTwips,
                    HFONT font, UINT dpi);

}  // namespace Ui::Win32
