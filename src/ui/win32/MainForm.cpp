#include "ui/win32/MainForm.h"

#include "core/CaptureSequence.h"
#include "core/KestrelMain.h"
#include "platform/win32/WideText.h"

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

struct TwipsRect {
    int left, top, width, height;
};

// In the order of the tab stops, which follow the order of creation.
struct ControlLayout {
    ControlId id;
    const wchar_t* kind;
    const wchar_t* text;
    TwipsRect twips;
};

constexpr ControlLayout CONTROLS[] = {
    {QUIT_BTN, L"BUTTON", L"Quit", {5280, 1440, 735, 495}},
    {CONFIG_BTN, L"BUTTON", L"Configure", {2160, 1440, 1095, 495}},
    {CAPTURE_BTN, L"BUTTON", L"Make Capture Now", {240, 1440, 1815, 495}},
    {ABOUT_BTN, L"BUTTON", L"About", {3360, 1440, 855, 495}},
    {HOTKEY_LBL, L"STATIC", L"Hot Key Disabled", {240, 1080, 5895, 255}},
    {DIR_LBL, L"STATIC", L"No Directory Defined", {480, 360, 5535, 255}},
    {TOTAL_LBL, L"STATIC", L"Total captures saved: 0", {240, 720, 2415, 255}},
    {LABEL1,
     L"STATIC",
     L"This program will save screen captures into the directory:",
     {240, 120, 4095, 255}},
};

constexpr int CLIENT_WIDTH_TWIPS = 6270;
constexpr int CLIENT_HEIGHT_TWIPS = 2130;

// A fixed single border with the system menu and a minimize box, no maximize box.
constexpr DWORD FORM_STYLE = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD FORM_EX_STYLE = WS_EX_APPWINDOW;

int Pixels(int twips, UINT dpi) {
    return MulDiv(twips, static_cast<int>(dpi), 1440);
}

template <typename Function>
Function User32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr)
        return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

UINT SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// The window's DPI where the system tells it per window (Windows 10 on), else the system's.
UINT WindowDpi(HWND window) {
    using GetDpi = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32Function<GetDpi>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        if (UINT dpi = getDpiForWindow(window); dpi != 0)
            return dpi;
    }
    return SystemDpi();
}

RECT FrameFor(int clientWidth, int clientHeight, UINT dpi) {
    RECT frame{0, 0, clientWidth, clientHeight};
    using Adjust = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = User32Function<Adjust>("AdjustWindowRectExForDpi");
    if (adjustForDpi == nullptr || !adjustForDpi(&frame, FORM_STYLE, FALSE, FORM_EX_STYLE, dpi))
        AdjustWindowRectEx(&frame, FORM_STYLE, FALSE, FORM_EX_STYLE);
    return frame;
}

// The system's message font at dpi: the dialog font every control uses.
HFONT MessageFontFor(UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    using ForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto forDpi = User32Function<ForDpi>("SystemParametersInfoForDpi");
    if (forDpi != nullptr && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        return CreateFontIndirectW(&metrics.lfMessageFont);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    // Given at the system's DPI: scaled to this window's.
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                            static_cast<int>(SystemDpi()));
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

void SetText(HWND control, const std::string& text) {
    SetWindowTextW(control, Platform::Win32::WideText(text).c_str());
}

}  // namespace

MainForm& MainForm::Instance() {
    static MainForm form;
    return form;
}

MainForm::MainForm() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &MainForm::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = MAIN_FORM_CLASS;
    RegisterClassExW(&windowClass);

    // Created hidden at the default place; sized once its DPI is known.
    window_ = CreateWindowExW(FORM_EX_STYLE, MAIN_FORM_CLASS, MAIN_FORM_CAPTION, FORM_STYLE,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                              nullptr, instance, this);
    HWND* handles[] = {&QuitBtn,   &ConfigBtn, &CaptureBtn, &AboutBtn,
                       &HotkeyLbl, &DirLbl,    &TotalLbl,   &Label1};
    int index = 0;
    for (const ControlLayout& control : CONTROLS) {
        const bool button = control.kind[0] == L'B';
        // Labels show paths verbatim: an ampersand is a character, not an access key.
        const DWORD style =
            WS_CHILD | WS_VISIBLE | (button ? WS_TABSTOP | BS_PUSHBUTTON : SS_LEFT | SS_NOPREFIX);
        *handles[index++] = CreateWindowExW(
            0, control.kind, control.text, style, 0, 0, 0, 0, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
    }
    focus_ = QuitBtn;
    LayOut(WindowDpi(window_));
}

void MainForm::LayOut(UINT dpi) {
    HFONT font = MessageFontFor(dpi);
    for (const ControlLayout& control : CONTROLS) {
        HWND handle = GetDlgItem(window_, control.id);
        SetWindowPos(handle, nullptr, Pixels(control.twips.left, dpi),
                     Pixels(control.twips.top, dpi), Pixels(control.twips.width, dpi),
                     Pixels(control.twips.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    if (font_ != nullptr && font_ != GetStockObject(DEFAULT_GUI_FONT))
        DeleteObject(font_);
    font_ = font;
    const RECT frame =
        FrameFor(Pixels(CLIENT_WIDTH_TWIPS, dpi), Pixels(CLIENT_HEIGHT_TWIPS, dpi), dpi);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window_, nullptr, TRUE);
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
    timer1Interval_ = milliseconds > 0 ? static_cast<UINT>(milliseconds) : 1u;
    ArmTimer1();
}

void MainForm::SetTimer1Enabled(bool enabled) {
    timer1Enabled_ = enabled;
    ArmTimer1();
}

// Setting the timer again restarts its count, as a new interval or switching it on should.
void MainForm::ArmTimer1() {
    if (timer1Enabled_)
        SetTimer(window_, TIMER1_ID, timer1Interval_, nullptr);
    else
        KillTimer(window_, TIMER1_ID);
}

void MainForm::Show() {
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    SetFocus(QuitBtn);
    UpdateWindow(window_);
}

LRESULT CALLBACK MainForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form =
            static_cast<MainForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<MainForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    return form->Handle(message, wParam, lParam);
}

LRESULT MainForm::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
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
        case WM_ACTIVATE:
            // Leaving: remember the focused button. Coming back: give it the focus again.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focused = GetFocus();
                if (focused != nullptr && IsChild(window_, focused))
                    focus_ = focused;
            } else if (focus_ != nullptr) {
                SetFocus(focus_);
            }
            return 0;
        case WM_SETFOCUS:
            if (focus_ != nullptr)
                SetFocus(focus_);
            return 0;
        case WM_DPICHANGED: {
            LayOut(HIWORD(wParam));
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_CLOSE:
        case WM_DESTROY:
            Form_Terminate();
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void MainForm::CaptureBtn_Click() {
    KestrelMain::MakeCapture();
}

// The configuration dialog and the About window have no Win32 counterpart yet: their
// buttons do nothing for now.
void MainForm::ConfigBtn_Click() {}

void MainForm::AboutBtn_Click() {}

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
