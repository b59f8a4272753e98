// The main window as a native Win32 window: the labels the core writes, the four buttons
// whose clicks end in the core, and Timer1 as a window timer. Laid out in twips, converted
// at the window's own DPI, in the system's message font.
#pragma once

#include "core/MainWindowView.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace Ui::Win32 {

inline constexpr wchar_t MAIN_FORM_CLASS[] = L"KestrelMainForm";
inline constexpr wchar_t MAIN_FORM_CAPTION[] = L"Screen Capture Utility";

class MainForm final : public KestrelMain::MainWindowView {
  public:
    // The one window of the run, created by its first use.
    static MainForm& Instance();

    void SetDirLblText(const std::string& text) override;
    void SetTotalLblText(const std::string& text) override;
    void SetHotkeyLblText(const std::string& text) override;
    void SetTimer1Interval(std::int32_t milliseconds) override;
    void SetTimer1Enabled(bool enabled) override;
    void Show() override;

    HWND Handle() const { return window_; }

  private:
    MainForm();
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    // Sizes the window, its font and its controls for dpi dots per inch.
    void LayOut(UINT dpi);
    void ArmTimer1();

    void CaptureBtn_Click();
    void ConfigBtn_Click();
    void AboutBtn_Click();
    [[noreturn]] void QuitBtn_Click();
    [[noreturn]] void Form_Terminate();
    void Timer1_Timer();

    HWND window_ = nullptr;
    HWND AboutBtn = nullptr;
    HWND CaptureBtn = nullptr;
    HWND ConfigBtn = nullptr;
    HWND QuitBtn = nullptr;
    HWND HotkeyLbl = nullptr;
    HWND DirLbl = nullptr;
    HWND TotalLbl = nullptr;
    HWND Label1 = nullptr;
    HWND focus_ = nullptr;  // the control to give the focus back to on activation
    HFONT font_ = nullptr;
    UINT timer1Interval_ = 5000;
    bool timer1Enabled_ = false;
};

}  // namespace Ui::Win32
