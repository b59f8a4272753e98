#include "ui/win32/ConfigDlg.h"

#include "common/win32/Win32WideText.h"
#include "core/AppState.h"
#include "core/CaptureDirectory.h"
#include "core/Numbers.h"
#include "core/Settings.h"
#include "core/seam/Services.h"
#include "ui/win32/Layout.h"

#include <iterator>

namespace Ui::Win32 {

using KestrelMain::AppState;
using Platform::Win32::Utf8Text;
using Platform::Win32::WideText;

namespace {

ConfigDlg* instance = nullptr;

// A fixed single border with the system menu and its close box, no minimize or maximize
// box; unowned, so it has a task-bar button of its own.
constexpr DWORD DLG_STYLE = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD DLG_EX_STYLE = WS_EX_APPWINDOW;

std::string ControlText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0u);
    return Utf8Text(text);
}

void SetControlText(HWND control, const std::string& text) {
    SetWindowTextW(control, WideText(text).c_str());
}

std::int16_t CheckValue(HWND box) {
    return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void SetCheckValue(HWND box, bool ticked) {
    SendMessageW(box, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The user's decimal separator, which typed numbers may use besides ".".
std::string UserDecimalPoint() {
    wchar_t point[8] = {};
    const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, point,
                                       static_cast<int>(std::size(point)));
    return length > 1 ? Utf8Text(std::wstring_view(point, static_cast<std::size_t>(length - 1)))
                      : std::string();
}

}  // namespace

ConfigDlg& ConfigDlg::Instance() {
    if (instance == nullptr) {
        instance = new ConfigDlg;
        instance->Form_Load();
    }
    return *instance;
}

ConfigDlg* ConfigDlg::Existing() {
    return instance;
}

ConfigDlg::ConfigDlg() {
    const KestrelMain::WindowLayout& layout = KestrelMain::CONFIG_DLG;
    Create(CONFIG_DLG_CLASS, WideText(layout.Caption).c_str(), DLG_STYLE, DLG_EX_STYLE, nullptr);
    CreateControls(window_, layout);
    HotkeyChk = ControlOf(window_, layout, "HotkeyChk");
    BasePathText = ControlOf(window_, layout, "BasePathText");
    HeightText = ControlOf(window_, layout, "HeightText");
    WidthText = ControlOf(window_, layout, "WidthText");
    PeriodText = ControlOf(window_, layout, "PeriodText");
    UseTimerChk = ControlOf(window_, layout, "UseTimerChk");
    CancelBtn = ControlOf(window_, layout, "CancelBtn");
    OKBtn = ControlOf(window_, layout, "OKBtn");
    Label5 = ControlOf(window_, layout, "Label5");
    Line1 = ControlOf(window_, layout, "Line1");
    Label4 = ControlOf(window_, layout, "Label4");
    Label3 = ControlOf(window_, layout, "Label3");
    Label2 = ControlOf(window_, layout, "Label2");
    Label1 = ControlOf(window_, layout, "Label1");
    SetFirstFocus(OKBtn);
    LayOut(WindowDpi(window_));
}

ConfigDlg::~ConfigDlg() {
    DeleteFont(font_);
}

void ConfigDlg::LayOut(UINT dpi) {
    HFONT font = FormFontFor(dpi);
    LayOutControls(window_, KestrelMain::CONFIG_DLG, font, dpi);
    DeleteFont(font_);
    font_ = font;
}

void ConfigDlg::Show() {
    if (!IsWindowVisible(window_))
        ShowWindow(window_, SW_SHOWNORMAL);
    // While OK's message is up, the message is what comes forward.
    SetForegroundWindow(GetLastActivePopup(window_));
}

void ConfigDlg::Destroyed() {
    if (instance == this)
        instance = nullptr;
    delete this;
}

LRESULT ConfigDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                const auto control = reinterpret_cast<HWND>(lParam);
                if (control == OKBtn)
                    OKBtn_Click();
                else if (control == CancelBtn)
                    CancelBtn_Click();
                else if (control == UseTimerChk)
                    UseTimerChk_Click();
            }
            return 0;
        default:
            break;
    }
    return NativeWindow::HandleMessage(message, wParam, lParam);
}

void ConfigDlg::Form_Load() {
    LoadCurrentSettings();
}

void ConfigDlg::LoadCurrentSettings() {
    // A two-state box shows a stored value other than 0 or 1 as clear: everywhere else only
    // exactly 1 counts as on.
    SetCheckValue(UseTimerChk, AppState.UseTimer == 1);
    SetControlText(PeriodText,
                   KestrelMain::PeriodAsTyped(AppState.TimerPeriod, UserDecimalPoint()));
    SetControlText(WidthText, KestrelMain::Int16ToText(AppState.OutputWidth));
    SetControlText(HeightText, KestrelMain::Int16ToText(AppState.OutputHeight));
    SetControlText(BasePathText, AppState.BasePath);
    SetCheckValue(HotkeyChk, AppState.UseHotkey == 1);
    EnablePeriod(CheckValue(UseTimerChk) != 0);
}

void ConfigDlg::EnablePeriod(bool enabled) {
    EnableWindow(PeriodText, enabled);
    EnableWindow(Label1, enabled);
}

void ConfigDlg::UseTimerChk_Click() {
    EnablePeriod(CheckValue(UseTimerChk) == 1);
}

void ConfigDlg::CancelBtn_Click() {
    LoadCurrentSettings();
    ShowWindow(window_, SW_HIDE);
}

KestrelMain::ConfigEntries ConfigDlg::Entries() const {
    KestrelMain::ConfigEntries entries;
    entries.WidthText = ControlText(WidthText);
    entries.HeightText = ControlText(HeightText);
    entries.PeriodText = ControlText(PeriodText);
    entries.BasePathText = ControlText(BasePathText);
    entries.UseTimerValue = CheckValue(UseTimerChk);
    entries.UseHotkeyValue = CheckValue(HotkeyChk);
    entries.DecimalPoint = UserDecimalPoint();
    entries.PathSeparator = '\\';
    return entries;
}

void ConfigDlg::ShowBasePath(const std::string& basePath) {
    if (ControlText(BasePathText) != basePath)
        SetControlText(BasePathText, basePath);
}

void ConfigDlg::OKBtn_Click() {
    const KestrelMain::ConfigVerdict verdict = KestrelMain::ConfigOk(Entries());
    if (!verdict.Accepted()) {
        // Owned by the dialog, which waits for it with the texts as typed; the main window,
        // its timer and its buttons go on meanwhile.
        MessageBoxW(window_, WideText(verdict.Message).c_str(), L"Kestrel", MB_OK);
        return;
    }
    if (verdict.Changes.BasePathChanged)
        ShowBasePath(verdict.Changes.BasePath);
    ShowWindow(window_, SW_HIDE);
}

}  // namespace Ui::Win32
