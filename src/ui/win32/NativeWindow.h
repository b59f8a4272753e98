// What the three native windows share beyond their layout: a window class whose messages
// reach the C++ object that made the window, the focus given back to the control that had
// it when the window is activated again, and a new layout when the window moves to a
// monitor of another DPI.
#pragma once

#include <windows.h>

namespace Ui::Win32 {

class NativeWindow {
  public:
    NativeWindow(const NativeWindow&) = delete;
    NativeWindow& operator=(const NativeWindow&) = delete;

    HWND Handle() const { return window_; }

  protected:
    NativeWindow() = default;
    virtual ~NativeWindow() = default;

    // Registers the class once (with the program's icon) and creates the window hidden, at
    // the system's default place and size until it lays itself out.
    void Create(const wchar_t* className, const wchar_t* caption, DWORD style, DWORD exStyle,
                HWND owner);

    // The window's own messages. Ends with NativeWindow::HandleMessage for the focus, the DPI and
    // the system's defaults.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Sizes the window, its fonts and its controls for dpi dots per inch.
    virtual void LayOut(UINT dpi) = 0;

    // The window is gone (closed from its title bar, or the program ends): nothing of it may
    // be used any more. An object that lives only as long as its window deletes itself here.
    virtual void Destroyed() {}

    // The control to focus when the window is activated, until the user moves the focus;
    // it is also where the focus goes when the remembered control can no longer take it.
    void SetFirstFocus(HWND control);

    HWND window_ = nullptr;

  private:
    static LRESULT CALLBACK Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void FocusRemembered();

    HWND first_ = nullptr;
    HWND focus_ = nullptr;  // the control to give the focus back to on activation
};

}  // namespace Ui::Win32
