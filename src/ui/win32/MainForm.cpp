#include "ui/win32/MainForm.h"

#include "common/win32/Win32WideText.h"
#include "core/CaptureSequence.h"
#include "core/KestrelMain.h"
#include "ui/win32/AboutDialog.h"
#include "ui/win32/ConfigDlg.h"
#include "ui/win32/Layout.h"

namespace Ui::Win32 {

namespace {

constexpr UINT_PTR TIMER1_ID = 1;

// Control identifiers clear of IDOK and IDCANCEL, which the dialog keys (Enter, Escape)
// send: no button here is the default or the cancel button.
enum ControlId : int {
    QUIT_BTN = 101,
    CONFIG_BTN,
    CAPTURE_BTN,
    ABOUT_BTN,
    HOTKEY_LBL,
    DIR_LBL,
    TOTAL_LBL,
    LABEL1,
};

// Buttons take the focus in turn; labels show paths verbatim: an ampersand is a
// character, not an access key.
constexpr DWORD BUTTON = WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD LABEL = SS_LEFT | SS_NOPREFIX;

// In the order of the tab stops, which follow the order of creation.
constexpr ControlLayout CONTROLS[] = {
    {QUIT_BTN, L"BUTTON", L"Quit", BUTTON, {5280, 1440, 735, 495}},
    {CONFIG_BTN, L"BUTTON", L"Configure", BUTTON, {2160, 1440, 1095, 495}},
    {CAPTURE_BTN, L"BUTTON", L"Make Capture Now", BUTTON, {240, 1440, 1815, 495}},
    {ABOUT_BTN, L"BUTTON", L"About", BUTTON, {3360, 1440, 855, 495}},
    {HOTKEY_LBL, L"STATIC", L"Hot Key Disabled", LABEL, {240, 1080, 5895, 255}},
    {DIR_LBL, L"STATIC", L"No Directory Defined", LABEL, {480, 360, 5535, 255}},
    {TOTAL_LBL, L"STATIC", L"Total captures saved: 0", LABEL, {240, 720, 2415, 255}},
    {LABEL1,
     L"STATIC",
     L"This program will save screen captures into the directory:",
     LABEL,
     {240, 120, 4095, 255}},
};

constexpr SIZE CLIENT_TWIPS{6270, 2130};

// A fixed single border with the system menu and a minimize box, no maximize box.
constexpr DWORD FORM_STYLE = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD FORM_EX_STYLE = WS_EX_APPWINDOW;

void SetText(HWND control, const std::string& text) {
    SetWindowTextW(control, Platform::Win32::WideText(text).c_str());
}

}  // namespace

MainForm& MainForm::Instance() {
    static MainForm form;
    return form;
}

MainForm::MainForm() {
    Create(MAIN_FORM_CLASS, MAIN_FORM_CAPTION, FORM_STYLE, FORM_EX_STYLE, nullptr);
    CreateControls(window_, CONTROLS);
    QuitBtn = GetDlgItem(window_, QUIT_BTN);
    ConfigBtn = GetDlgItem(window_, CONFIG_BTN);
    CaptureBtn = GetDlgItem(window_, CAPTURE_BTN);
    AboutBtn = GetDlgItem(window_, ABOUT_BTN);
    HotkeyLbl = GetDlgItem(window_, HOTKEY_LBL);
    DirLbl = GetDlgItem(window_, DIR_LBL);
    TotalLbl = GetDlgItem(window_, TOTAL_LBL);
    Label1 = GetDlgItem(window_, LABEL1);
    SetFirstFocus(QuitBtn);
    LayOut(WindowDpi(window_));
}

void MainForm::LayOut(UINT dpi) {
    HFONT font = FormFontFor(dpi);
    LayOutControls(window_, CONTROLS, CLIENT_TWIPS, font, dpi);
    DeleteFont(font_);
    font_ = font;
}

void MainForm::SetDirLblText(const std::string& text) {
    SetText(DirLbl, text);
}

void MainForm::SetTotalLblText(const std::string& text) {
    SetText(TotalLbl, text);
}

void MainForm::SetHotkeyLblText(const std::string& text) {
    SetText(HotkeyLbl, text);
}

void MainForm::SetTimer1Interval(std::int32_t milliseconds) {
    timer1Interval_ = milliseconds;
    ArmTimer1();
}

void MainForm::SetTimer1Enabled(bool enabled) {
    timer1Enabled_ = enabled;
    ArmTimer1();
}

// Setting the timer again restarts its count, as a new interval or switching it on should.
// An interval of 0 or less (a stored period under half a millisecond) never fires: the
// system would run such a timer as often as it can.
void MainForm::ArmTimer1() {
    if (timer1Enabled_ && timer1Interval_ > 0)
        SetTimer(window_, TIMER1_ID, static_cast<UINT>(timer1Interval_), nullptr);
    else
        KillTimer(window_, TIMER1_ID);
}

void MainForm::Show() {
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    SetFocus(QuitBtn);
    UpdateWindow(window_);
}

LRESULT MainForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                switch (LOWORD(wParam)) {
                    case CAPTURE_BTN:
                        CaptureBtn_Click();
                        return 0;
                    case CONFIG_BTN:
                        ConfigBtn_Click();
                        return 0;
                    case ABOUT_BTN:
                        AboutBtn_Click();
                        return 0;
                    case QUIT_BTN:
                        QuitBtn_Click();
                    default:
                        break;
                }
            }
            return 0;
        case WM_TIMER:
            if (wParam == TIMER1_ID) {
                Timer1_Timer();
                return 0;
            }
            break;
        case WM_CLOSE:
        case WM_DESTROY:
            Form_Terminate();
        default:
            break;
    }
    return NativeWindow::HandleMessage(message, wParam, lParam);
}

void MainForm::CaptureBtn_Click() {
    KestrelMain::MakeCapture();
}

// Created on first use, which fills it from the current settings; shown again as it was
// left, or only brought forward when on screen.
void MainForm::ConfigBtn_Click() {
    ConfigDlg::Instance().Show();
}

void MainForm::AboutBtn_Click() {
    AboutDialog::Instance().Show();
}

void MainForm::QuitBtn_Click() {
    KestrelMain::Quit();
}

void MainForm::Form_Terminate() {
    QuitBtn_Click();
}

void MainForm::Timer1_Timer() {
    KestrelMain::Timer1Tick();
}

}  // namespace Ui::Win32
