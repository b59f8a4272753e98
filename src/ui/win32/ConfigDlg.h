// The configuration dialog as a native Win32 window: edits the six settings while the
// program runs. Modeless and without an owner; OK and Cancel only hide it, so it keeps
// what its controls hold until it is shown again; closing it from its title bar destroys
// it and nothing is stored. Laid out in twips at its own DPI in the font it was drawn for.
#pragma once

#include "core/ConfigRules.h"
#include "ui/win32/NativeWindow.h"

#include <windows.h>

namespace Ui::Win32 {

inline constexpr wchar_t CONFIG_DLG_CLASS[] = L"KestrelConfigDlg";

class ConfigDlg final : public NativeWindow {
  public:
    // The dialog, created on first use (Form_Load fills it from the current settings).
    static ConfigDlg& Instance();
    // The dialog when one exists: null before the first use and once it was closed.
    static ConfigDlg* Existing();

    // Shows the dialog as it was left; when it is on screen already, only brings it
    // forward.
    void Show();

    // What the controls hold now, as OK reads them.
    KestrelMain::ConfigEntries Entries() const;
    // The base directory box shows the stored form of a new base directory.
    void ShowBasePath(const std::string& basePath);

  private:
    ConfigDlg();
    ~ConfigDlg() override;

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void LayOut(UINT dpi) override;
    // Closed from its title bar: gone with everything typed into it; the next ConfigBtn
    // click creates a new one.
    void Destroyed() override;
    void LoadCurrentSettings();
    void EnablePeriod(bool enabled);

    void Form_Load();
    void UseTimerChk_Click();
    void CancelBtn_Click();
    void OKBtn_Click();

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
    HFONT font_ = nullptr;
};

}  // namespace Ui::Win32
