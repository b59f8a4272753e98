#include "Win32TestSupport.h"

#include <string>
#include <system_error>
#include <utility>

namespace Win32Test {

void DispatchPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        DispatchPending();
        if (condition())
            return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        // Woken by the next message, or after a short while for conditions that no
        // message announces (what the X server shows).
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  static_cast<DWORD>(std::min<long long>(left.count(), 20)),
                                  QS_ALLINPUT);
    }
}

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

ScreenCover::ScreenCover(int x, int y, int width, int height, Painter paint)
    : paint_(std::move(paint)) {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &ScreenCover::Paint;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"KestrelTestScreenCover";
        return RegisterClassExW(&windowClass) != 0;
    }();
    static_cast<void>(registered);
    window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"KestrelTestScreenCover", L"cover",
                              WS_POPUP, x, y, width, height, nullptr, nullptr,
                              GetModuleHandleW(nullptr), this);
    if (window_ != nullptr) {
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        UpdateWindow(window_);
    }
}

ScreenCover::~ScreenCover() {
    if (window_ != nullptr)
        DestroyWindow(window_);
}

LRESULT CALLBACK ScreenCover::Paint(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == WM_PAINT) {
        const auto* cover =
            reinterpret_cast<const ScreenCover*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client{};
        GetClientRect(window, &client);
        if (cover != nullptr)
            cover->paint_(dc, client.right, client.bottom);
        EndPaint(window, &paint);
        return 0;
    } else if (message == WM_ERASEBKGND) {
        return 1;  // the painter covers the whole window
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace Win32Test
