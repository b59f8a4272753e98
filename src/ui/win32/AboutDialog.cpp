#include "ui/win32/AboutDialog.h"

#include "common/win32/Win32WideText.h"
#include "core/KestrelMain.h"
#include "ui/win32/Layout.h"

namespace Ui::Win32 {

namespace {

AboutDialog* instance = nullptr;

constexpr COLORREF TITLE_COLOUR = RGB(0, 0, 192);

// A fixed dialog frame whose title bar has the system menu and its close box only.
constexpr DWORD DIALOG_STYLE = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD DIALOG_EX_STYLE = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// A window owning the About window keeps it off the task bar while it keeps a full title
// bar (a tool window's would lose its system menu). Never shown: nothing the user sees owns
// the About window, and the main window neither hides nor minimizes it.
HWND HiddenOwner() {
    static HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    return owner;
}

}  // namespace

LOGFONTW TitleFontFor(UINT dpi) {
    LOGFONTW font{};
    // 13.5 points of 1/72 inch, as a character height in pixels at dpi.
    font.lfHeight = -MulDiv(27, static_cast<int>(dpi), 144);
    font.lfWeight = FW_BOLD;
    font.lfItalic = TRUE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    static const wchar_t* const face = SansSerifFace(&FaceInstalled);
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return font;
}

AboutDialog& AboutDialog::Instance() {
    if (instance == nullptr)
        instance = new AboutDialog;
    return *instance;
}

AboutDialog* AboutDialog::Existing() {
    return instance;
}

AboutDialog::AboutDialog() {
    const KestrelMain::WindowLayout& layout = KestrelMain::ABOUT_DIALOG;
    Create(ABOUT_DIALOG_CLASS, Platform::Win32::WideText(layout.Caption).c_str(), DIALOG_STYLE,
           DIALOG_EX_STYLE, HiddenOwner());
    CreateControls(window_, layout);
    Command1 = ControlOf(window_, layout, "Command1");
    OKButton = ControlOf(window_, layout, "OKButton");
    Label1 = ControlOf(window_, layout, "Label1");
    SetFirstFocus(OKButton);
    const UINT dpi = WindowDpi(window_);
    LayOut(dpi);
    Place(dpi);
}

AboutDialog::~AboutDialog() {
    DeleteFont(font_);
    if (titleFont_ != nullptr)
        DeleteObject(titleFont_);
}

void AboutDialog::LayOut(UINT dpi) {
    HFONT font = FormFontFor(dpi);
    LayOutControls(window_, KestrelMain::ABOUT_DIALOG, font, dpi);
    DeleteFont(font_);
    font_ = font;

    const LOGFONTW title = TitleFontFor(dpi);
    HFONT titleFont = CreateFontIndirectW(&title);
    SendMessageW(Label1, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont), TRUE);
    if (titleFont_ != nullptr)
        DeleteObject(titleFont_);
    titleFont_ = titleFont;
}

void AboutDialog::Place(UINT dpi) {
    // The frame's size is the system's: measured rather than assumed.
    RECT frame{};
    GetWindowRect(window_, &frame);
    POINT client{0, 0};
    ClientToScreen(window_, &client);
    // From the primary monitor's top-left corner, the origin of the screen's coordinates.
    const int left = Pixels(KestrelMain::ABOUT_DIALOG_LEFT, dpi) - (client.x - frame.left);
    const int top = Pixels(KestrelMain::ABOUT_DIALOG_TOP, dpi) - (client.y - frame.top);
    SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void AboutDialog::Show() {
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    UpdateWindow(window_);
}

void AboutDialog::Command1_Click() {
    KestrelMain::VisitMakerWebPage();
    ShowWindow(window_, SW_HIDE);
}

void AboutDialog::OKButton_Click() {
    ShowWindow(window_, SW_HIDE);
}

void AboutDialog::Destroyed() {
    if (instance == this)
        instance = nullptr;
    delete this;
}

LRESULT AboutDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                const auto button = reinterpret_cast<HWND>(lParam);
                if (button == Command1)
                    Command1_Click();
                else if (button == OKButton)
                    OKButton_Click();
            }
            return 0;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == Label1) {
                HDC dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, TITLE_COLOUR);
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        default:
            break;
    }
    return NativeWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace Ui::Win32
