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
    const KestrelMain::WindowLayout& layout = KestrelMain::MAIN_FORM;
    Create(MAIN_FORM_CLASS, Platform::Win32::WideText(layout.Caption).c_str(), FORM_STYLE,
           FORM_EX_STYLE, nullptr);
    CreateControls(window_, layout);
    QuitBtn = ControlOf(window_, layout, "QuitBtn");
    ConfigBtn = ControlOf(window_, layout, "ConfigBtn");
    CaptureBtn = ControlOf(window_, layout, "CaptureBtn");
    AboutBtn = ControlOf(window_, layout, "AboutBtn");
    HotkeyLbl = ControlOf(window_, layout, "HotkeyLbl");
    DirLbl = ControlOf(window_, layout, "DirLbl");
    TotalLbl = ControlOf(window_, layout, "TotalLbl");
    Label1 = ControlOf(window_, layout, "Label1");
    SetFirstFocus(QuitBtn);
    LayOut(WindowDpi(window_));
}

void MainForm::LayOut(UINT dpi) {
    HFONT font = FormFontFor(dpi);
    LayOutControls(window_, KestrelMain::MAIN_FORM, font, dpi);
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
                const auto button = reinterpret_cast<HWND>(lParam);
                if (button == CaptureBtn)
                    CaptureBtn_Click();
                else if (button == ConfigBtn)
                    ConfigBtn_Click();
                else if (button == AboutBtn)
                    AboutBtn_Click();
                else if (button == QuitBtn)
                    QuitBtn_Click();
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
    KestrelMain::MakeCaptureFromButton();
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
