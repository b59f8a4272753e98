// The About window as a native Win32 window: the title line and two buttons, one to the
// maker's web page. Modeless and without a task-bar button; its buttons only hide it, and
// closing it from its title bar destroys it, so the next use makes it anew.
#pragma once

#include "ui/win32/NativeWindow.h"

#include <windows.h>

namespace Ui::Win32 {

inline constexpr wchar_t ABOUT_DIALOG_CLASS[] = L"KestrelAboutDialog";

// The title line's font at dpi: 13.5 points, bold, italic, in the forms' face
// (SansSerifFace).
LOGFONTW TitleFontFor(UINT dpi);

class AboutDialog final : public NativeWindow {
  public:
    // The window, made by the first use after the program started or after it was closed.
    static AboutDialog& Instance();
    // The window while it exists, else null.
    static AboutDialog* Existing();

    // Shows it as it was left, where it was left, and brings it forward.
    void Show();

    void Command1_Click();
    void OKButton_Click();

  private:
    AboutDialog();
    ~AboutDialog() override;

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void LayOut(UINT dpi) override;
    // Closed from its title bar: gone, and the next use makes a new one.
    void Destroyed() override;
    // Puts the client area's top-left corner at its fixed place on the primary monitor.
    void Place(UINT dpi);

    HWND Command1 = nullptr;
    HWND OKButton = nullptr;
    HWND Label1 = nullptr;
    HFONT font_ = nullptr;
    HFONT titleFont_ = nullptr;
};

}  // namespace Ui::Win32
