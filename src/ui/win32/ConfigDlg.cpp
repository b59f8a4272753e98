#include "ui/win32/ConfigDlg.h"

#include "common/win32/Win32WideText.h"
#include "core/AppState.h"
#include "core/CaptureDirectory.h"
#include "core/Numbers.h"
#include "core/Settings.h"
#include "core/seam/Services.h"
#include "ui/win32/Layout.h"
#include "ui/win32/MainForm.h"

#include <iterator>

namespace Ui::Win32 {

using KestrelMain::AppState;
using Platform::Win32::Utf8Text;
using Platform::Win32::WideText;

namespace {

ConfigDlg* instance = nullptr;

// Control identifiers clear of IDOK and IDCANCEL, which the dialog keys (Enter, Escape)
// send: no button here is the default or the cancel button.
enum ControlId : int {
    OK_BTN = 201,
    CANCEL_BTN,
    LABEL1,
    LABEL2,
    USE_TIMER_CHK,
    LABEL3,
    LABEL4,
    PERIOD_TEXT,
    WIDTH_TEXT,
    HEIGHT_TEXT,
    LABEL5,
    BASE_PATH_TEXT,
    HOTKEY_CHK,
    LINE1,
};

constexpr DWORD BUTTON = WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD CHECK_BOX = WS_TABSTOP | BS_AUTOCHECKBOX;
// Free text, scrolled sideways when it outgrows the box.
constexpr DWORD TEXT_BOX = WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
constexpr DWORD LABEL = SS_LEFT | SS_NOPREFIX;
// A one-pixel rule in the window text's colour.
constexpr DWORD RULE = SS_BLACKRECT;

// In the order of the tab stops, which follow the order of creation.
constexpr ControlLayout CONTROLS[] = {
    {OK_BTN, L"BUTTON", L"OK", BUTTON, {4920, 120, 1095, 375}},
    {CANCEL_BTN, L"BUTTON", L"Cancel", BUTTON, {4920, 600, 1095, 375}},
    {LABEL1, L"STATIC", L"Period of Captures (in seconds):", LABEL, {240, 600, 2415, 255}},
    {LABEL2, L"STATIC", L"Save Captures Scaled to:", LABEL, {240, 2040, 1935, 255}},
    {USE_TIMER_CHK,
     L"BUTTON",
     L"Make Captures Automatically using Timer",
     CHECK_BOX,
     {240, 120, 3495, 255}},
    {LABEL3, L"STATIC", L"Width:", LABEL, {2880, 2040, 615, 255}},
    {LABEL4, L"STATIC", L"Height:", LABEL, {4680, 2040, 615, 255}},
    {PERIOD_TEXT, L"EDIT", L"", TEXT_BOX, {2640, 600, 855, 285}},
    {WIDTH_TEXT, L"EDIT", L"", TEXT_BOX, {3480, 2040, 735, 285}},
    {HEIGHT_TEXT, L"EDIT", L"", TEXT_BOX, {5280, 2040, 735, 285}},
    {LABEL5, L"STATIC", L"Store Captures Here:", LABEL, {240, 1200, 5295, 255}},
    {BASE_PATH_TEXT, L"EDIT", L"", TEXT_BOX, {240, 1560, 5775, 285}},
    {HOTKEY_CHK,
     L"BUTTON",
     L"Use Ctrl-F as \"Capture Now\" Hotkey (Change will take effect on next launch)",
     CHECK_BOX,
     {240, 2520, 5895, 255}},
    // From (240, 1080) to (6000, 1080).
    {LINE1, L"STATIC", L"", RULE, {240, 1080, 5760, 15}},
};

constexpr SIZE CLIENT_TWIPS{6255, 2895};

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

// The period as the user writes numbers: with their decimal separator, which OK reads back.
std::string PeriodInUserForm(float period) {
    std::string text = KestrelMain::SingleToText(period);
    const std::string point = UserDecimalPoint();
    if (const auto dot = text.find('.'); dot != std::string::npos && !point.empty())
        text.replace(dot, 1, point);
    return text;
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
    Create(CONFIG_DLG_CLASS, CONFIG_DLG_CAPTION, DLG_STYLE, DLG_EX_STYLE, nullptr);
    CreateControls(window_, CONTROLS);

    HotkeyChk = GetDlgItem(window_, HOTKEY_CHK);
    BasePathText = GetDlgItem(window_, BASE_PATH_TEXT);
    HeightText = GetDlgItem(window_, HEIGHT_TEXT);
    WidthText = GetDlgItem(window_, WIDTH_TEXT);
    PeriodText = GetDlgItem(window_, PERIOD_TEXT);
    UseTimerChk = GetDlgItem(window_, USE_TIMER_CHK);
    CancelBtn = GetDlgItem(window_, CANCEL_BTN);
    OKBtn = GetDlgItem(window_, OK_BTN);
    Label5 = GetDlgItem(window_, LABEL5);
    Line1 = GetDlgItem(window_, LINE1);
    Label4 = GetDlgItem(window_, LABEL4);
    Label3 = GetDlgItem(window_, LABEL3);
    Label2 = GetDlgItem(window_, LABEL2);
    Label1 = GetDlgItem(window_, LABEL1);

    for (HWND text : {PeriodText, WidthText, HeightText, BasePathText}) {
        // The sunken frame of a text box; and nothing limits how much is typed.
        SetWindowLongPtrW(text, GWL_EXSTYLE,
                          GetWindowLongPtrW(text, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
        SendMessageW(text, EM_SETLIMITTEXT, 0, 0);
    }
    SetFirstFocus(OKBtn);
    LayOut(WindowDpi(window_));
}

ConfigDlg::~ConfigDlg() {
    DeleteFont(font_);
}

void ConfigDlg::LayOut(UINT dpi) {
    HFONT font = FormFontFor(dpi);
    LayOutControls(window_, CONTROLS, CLIENT_TWIPS, font, dpi);
    // The frame each text box was given after its creation is drawn from here on.
    for (HWND text : {PeriodText, WidthText, HeightText, BasePathText})
        SetWindowPos(text, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
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
                switch (LOWORD(wParam)) {
                    case OK_BTN:
                        OKBtn_Click();
                        return 0;
                    case CANCEL_BTN:
                        CancelBtn_Click();
                        return 0;
                    case USE_TIMER_CHK:
                        UseTimerChk_Click();
                        return 0;
                    default:
                        break;
                }
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
    SetControlText(PeriodText, PeriodInUserForm(AppState.TimerPeriod));
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
