// What the native windows share in laying themselves out: positions and sizes given in
// twips, converted at the window's own DPI (15 twips to a pixel at 96 dpi), the font the
// layouts were drawn for, and the frame around a client area of a given size.
#pragma once

#include "core/WindowLayouts.h"

#include <windows.h>

#include <functional>

namespace Ui::Win32 {

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

// Creates the window's controls from its table as children of parent, unplaced until
// LayOutControls, in the order of their tab indices, which is the order of the tab stops.
// Buttons, check boxes and text boxes take the focus; captions show "&" as typed; a line is a
// one-pixel rule in the window text's colour; no button is the default or the cancel one.
void CreateControls(HWND parent, const KestrelMain::WindowLayout& layout);

// The control of that name that CreateControls made.
HWND ControlOf(HWND parent, const KestrelMain::WindowLayout& layout, const char* name);

// Places each control at its twips converted at dpi, gives it font, and sizes parent to the
// table's client area.
void LayOutControls(HWND parent, const KestrelMain::WindowLayout& layout, HFONT font, UINT dpi);

}  // namespace Ui::Win32
