// The main window as a native Win32 window: the labels the core writes, the four buttons
// whose clicks end in the core, and Timer1 as a window timer. Laid out in twips, converted
// at the window's own DPI, in the font the layout was drawn for.
#pragma once

#include "core/seam/MainWindowView.h"
#include "ui/win32/NativeWindow.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace Ui::Win32 {

inline constexpr wchar_t MAIN_FORM_CLASS[] = L"KestrelMainForm";

class MainForm final : public Seam::MainWindowView, public NativeWindow {
  public:
    // The one window of the run, created by its first use.
    static MainForm& Instance();

    void SetDirLblText(const std::string& text) override;
    void SetTotalLblText(const std::string& text) override;
    void SetHotkeyLblText(const std::string& text) override;
    void SetTimer1Interval(std::int32_t milliseconds) override;
    void SetTimer1Enabled(bool enabled) override;
    void Show() override;

  private:
    MainForm();

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void LayOut(UINT dpi) override;
    void ArmTimer1();

    void CaptureBtn_Click();
    void ConfigBtn_Click();
    void AboutBtn_Click();
    [[noreturn]] void QuitBtn_Click();
    [[noreturn]] void Form_Terminate();
    void Timer1_Timer();

    HWND AboutBtn = nullptr;
    HWND CaptureBtn = nullptr;
    HWND ConfigBtn = nullptr;
    HWND QuitBtn = nullptr;
    HWND HotkeyLbl = nullptr;
    HWND DirLbl = nullptr;
    HWND TotalLbl = nullptr;
    HWND Label1 = nullptr;
    HFONT font_ = nullptr;
    std::int32_t timer1Interval_ = 5000;
    bool timer1Enabled_ = false;
};

}  // namespace Ui::Win32
