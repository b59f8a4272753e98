// The configuration dialog as a native Win32 window: edits the six settings while the
// program runs. Modeless and without an owner; OK and Cancel only hide it, so it keeps
// what its controls hold until it is shown again; closing it from its title bar destroys
// it and nothing is stored. Laid out in twips at its own DPI in the system's message font.
#pragma once

#include "core/ConfigRules.h"

#include <windows.h>

namespace Ui::Win32 {

inline constexpr wchar_t CONFIG_DLG_CLASS[] = L"KestrelConfigDlg";
inline constexpr wchar_t CONFIG_DLG_CAPTION[] = L"Screen Capture Configuration";

class ConfigDlg final {
  public:
    // The dialog, created on first use (Form_Load fills it from the current settings).
    static ConfigDlg& Instance();
    // The dialog when one exists: null before the first use and once it was closed.
    static ConfigDlg* Existing();

    // Shows the dialog as it was left; when it is on screen already, only brings it
    // forward.
    void Show();
    HWND Handle() const { return window_; }

    // What the controls hold now, as OK reads them.
    KestrelMain::ConfigEntries Entries() const;
    // The base directory box shows the stored form of a new base directory.
    void ShowBasePath(const std::string& basePath);

  private:
    ConfigDlg();
    ~ConfigDlg();
    ConfigDlg(const ConfigDlg&) = delete;
    ConfigDlg& operator=(const ConfigDlg&) = delete;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    // Sizes the window, its font and its controls for dpi dots per inch.
    void LayOut(UINT dpi);
    void LoadCurrentSettings();
    void EnablePeriod(bool enabled);

    void Form_Load();
    void UseTimerChk_Click();
    void CancelBtn_Click();
    void OKBtn_Click();

    HWND window_ = nullptr;
    HWND HotkeyChk = nullptr;
    HWND BasePathText = nullptr;
    HWND HeightText = nullptr;
    HWND WidthText = nullptr;
    HWND PeriodText = nullptr;
    HWND UseTimerChk = nullptr;
    HWND CancelBtn = nullptr;
    HWND OKBtn = nullptr;
    HWND Label5 = nullptr;
    HWND Line1 = nullptr;
    HWND Label4 = nullptr;
    HWND Label3 = nullptr;
    HWND Label2 = nullptr;
    HWND Label1 = nullptr;
    HWND focus_ = nullptr;  // the control to give the focus back to on activation
    HFONT font_ = nullptr;
};

}  // namespace Ui::Win32
