// What the native windows share in laying themselves out: positions and sizes given in
// twips, converted at the window's own DPI (15 twips to a pixel at 96 dpi), the font the
// layouts were drawn for, and the frame around a client area of a given size.
#pragma once

#include <windows.h>

#include <functional>
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

// The face the layouts were drawn for, "MS Sans Serif", where installed; else the nearest
// installed sans-serif face; else none named (the font mapper then picks a sans-serif by
// family).
const wchar_t* SansSerifFace(const std::function<bool(const wchar_t*)>& installed);

// Whether the system has a font of that family.
bool FaceInstalled(const wchar_t* face);

// The forms' font at dpi, which every control uses but the About window's title line: 8
// points of SansSerifFace, regular and upright. The caller owns it (DeleteFont below).
HFONT FormFontFor(UINT dpi);
void DeleteFont(HFONT font);

// Creates the controls as children of parent, hidden from layout until LayOutControls; the
// order of creation is the order of the tab stops.
void CreateControls(HWND parent, std::span<const ControlLayout> controls);

// Places each control at its twips converted at dpi, gives it font, and sizes parent to a
// client area of clientTwips.
void LayOutControls(HWND parent, std::span<const ControlLayout> controls, SIZE clientTwips,
                    HFONT font, UINT dpi);

}  // namespace Ui::Win32
