// Helpers for the Win32 backend's tests, run under Wine: waiting on a condition while the
// thread's messages are dispatched; private folders come from the test kit.
#pragma once

#include "testkit/ScratchFolder.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

namespace Win32Test {

// Checks the condition until it holds or the deadline passes, dispatching this thread's
// messages in between (windows paint, the cursor moves) and waking on new ones.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));

// Dispatches every message already queued for this thread.
void DispatchPending();

using TestKit::ScratchFolder;

// The header of a top-down 32-bit DIB: row 0 first, blue, green, red, unused.
BITMAPINFO TopDown32(int width, int height);

// A topmost borderless window over a rectangle of the screen, painted whole by paint
// (given the window's device context and client size) whenever it is drawn; shown
// without taking the activation, gone with the object.
class ScreenCover {
  public:
    using Painter = std::function<void(HDC dc, int width, int height)>;
    ScreenCover(int x, int y, int width, int height, Painter paint);
    ~ScreenCover();
    ScreenCover(const ScreenCover&) = delete;
    ScreenCover& operator=(const ScreenCover&) = delete;
    HWND Handle() const { return window_; }

  private:
    static LRESULT CALLBACK Paint(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    Painter paint_;
    HWND window_ = nullptr;
};

}  // namespace Win32Test
