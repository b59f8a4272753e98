#include "ui/win32/NativeWindow.h"

namespace Ui::Win32 {

void NativeWindow::Create(const wchar_t* className, const wchar_t* caption, DWORD style,
                          DWORD exStyle, HWND owner) {
    HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    // Once per class: a dialog may be made again after it was closed.
    if (!GetClassInfoExW(module, className, &windowClass)) {
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &NativeWindow::Route;
        windowClass.hInstance = module;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hIcon = LoadIconW(module, MAKEINTRESOURCEW(1));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = className;
        RegisterClassExW(&windowClass);
    }
    CreateWindowExW(exStyle, className, caption, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, owner, nullptr, module, this);
}

void NativeWindow::SetFirstFocus(HWND control) {
    first_ = control;
    focus_ = control;
}

LRESULT CALLBACK NativeWindow::Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created =
            static_cast<NativeWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* object = reinterpret_cast<NativeWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (object == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        object->window_ = nullptr;
        object->Destroyed();
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return object->HandleMessage(message, wParam, lParam);
}

void NativeWindow::FocusRemembered() {
    HWND target =
        focus_ != nullptr && IsWindowEnabled(focus_) && IsWindowVisible(focus_) ? focus_ : first_;
    if (target != nullptr)
        SetFocus(target);
}

LRESULT NativeWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ACTIVATE:
            // Leaving: remember the focused control. Coming back: give it the focus again,
            // unless one of the controls has it already.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focused = GetFocus();
                if (focused != nullptr && IsChild(window_, focused))
                    focus_ = focused;
            } else if (!IsChild(window_, GetFocus())) {
                FocusRemembered();
            }
            return 0;
        case WM_SETFOCUS: {
            // The window itself given the focus (Wine does so when the X server's focus
            // comes back): on to the control that had it last, which may be the one that
            // just lost it to the window without the window ever having been left.
            HWND previous = reinterpret_cast<HWND>(wParam);
            if (previous != nullptr && IsChild(window_, previous))
                focus_ = previous;
            FocusRemembered();
            return 0;
        }
        case WM_DPICHANGED: {
            LayOut(HIWORD(wParam));
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        default:
            return DefWindowProcW(window_, message, wParam, lParam);
    }
}

}  // namespace Ui::Win32
