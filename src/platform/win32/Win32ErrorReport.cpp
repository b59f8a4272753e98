#include "platform/win32/Win32ErrorReport.h"

#include "common/win32/Win32WideText.h"

namespace Platform::Win32 {

namespace {

constexpr int TEXT_ID = 100;
constexpr int MARGIN = 12;
constexpr int BUTTON_WIDTH = 88;
constexpr int BUTTON_HEIGHT = 26;
constexpr int TEXT_WIDTH = 380;

HFONT DialogFont() {
    static HFONT font = [] {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
            return CreateFontIndirectW(&metrics.lfMessageFont);
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }();
    return font;
}

// The text's height when wrapped to the box's width, in the box's font.
int TextHeight(HWND window, const std::wstring& text) {
    RECT bounds{0, 0, TEXT_WIDTH, 0};
    HDC dc = GetDC(window);
    if (dc == nullptr)
        return 3 * BUTTON_HEIGHT;
    HGDIOBJ previous = SelectObject(dc, DialogFont());
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    if (previous != nullptr && previous != HGDI_ERROR)
        SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return bounds.bottom - bounds.top;
}

// Lays the box out around its text and puts it in the middle of the primary monitor.
void Arrange(HWND box, const std::wstring& text) {
    const int textHeight = TextHeight(box, text);
    RECT frame{0, 0, TEXT_WIDTH + 2 * MARGIN, textHeight + BUTTON_HEIGHT + 3 * MARGIN};
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(box, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(box, GWL_EXSTYLE));
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(box, HWND_TOP, x, y, width, height, SWP_NOACTIVATE);
    MoveWindow(GetDlgItem(box, TEXT_ID), MARGIN, MARGIN, TEXT_WIDTH, textHeight, TRUE);
    MoveWindow(GetDlgItem(box, IDOK), MARGIN + TEXT_WIDTH - BUTTON_WIDTH, 2 * MARGIN + textHeight,
               BUTTON_WIDTH, BUTTON_HEIGHT, TRUE);
}

LRESULT CALLBACK BoxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                DestroyWindow(box);
                return 0;
            }
            break;
        case WM_CLOSE:
            DestroyWindow(box);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(box, message, wParam, lParam);
}

bool RegisterBoxClass() {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = BoxProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = ERROR_BOX_CLASS;
        return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

}  // namespace

Win32ErrorReport::~Win32ErrorReport() {
    if (Box() != nullptr)
        DestroyWindow(box_);
}

HWND Win32ErrorReport::Box() const {
    // The box destroys itself when dismissed; a handle that no longer names it is stale.
    return box_ != nullptr && IsWindow(box_) ? box_ : nullptr;
}

void Win32ErrorReport::Report(const KestrelMain::Failure& failure) {
    const std::string text = failure.Text();
    Note(text);
    if (!ShowBox(WideText(text)))
        Note("the error box cannot be shown: " + SystemReason(GetLastError()));
}

void Win32ErrorReport::Note(const std::string& line) {
    const std::wstring wide = WideText("kestrel: " + line + "\n");
    OutputDebugStringW(wide.c_str());
}

bool Win32ErrorReport::ShowBox(const std::wstring& text) {
    if (Box() == nullptr) {
        box_ = nullptr;
        if (!RegisterBoxClass())
            return false;
        HINSTANCE instance = GetModuleHandleW(nullptr);
        HWND box = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, ERROR_BOX_CLASS, L"Kestrel",
                                   WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT,
                                   1, 1, nullptr, nullptr, instance, nullptr);
        if (box == nullptr)
            return false;
        HWND label = CreateWindowExW(
            0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 0, 0, 1, 1, box,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(TEXT_ID)), instance, nullptr);
        HWND button = CreateWindowExW(
            0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 1, 1,
            box, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), instance, nullptr);
        if (label == nullptr || button == nullptr) {
            const DWORD error = GetLastError();
            DestroyWindow(box);
            SetLastError(error);
            return false;
        }
        SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
        box_ = box;
    }
    SetDlgItemTextW(box_, TEXT_ID, text.c_str());
    Arrange(box_, text);
    ShowWindow(box_, SW_SHOWNORMAL);
    SetForegroundWindow(box_);
    return true;
}

}  // namespace Platform::Win32
