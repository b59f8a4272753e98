// Ctrl+F for the whole desktop through RegisterHotKey: presses arrive as WM_HOTKEY in the
// thread's message queue (or the given window's), a held key being one press. To be
// fitted to the program's hot-key interface.
#pragma once

#include "core/Failure.h"

#include <windows.h>

namespace Platform::Win32 {

class Win32HotKey {
  public:
    // window may be null: the presses then go to the thread's queue.
    Win32HotKey(HWND window, int id) : window_(window), id_(id) {}
    ~Win32HotKey();
    Win32HotKey(const Win32HotKey&) = delete;
    Win32HotKey& operator=(const Win32HotKey&) = delete;

    // Registers Ctrl+F; a failure (another program holds it) carries the system's reason.
    KestrelMain::Status Register();
    void Unregister();
    bool Registered() const { return registered_; }

    // Removes one pending press from the queue, if there is one.
    bool TakePress();

  private:
    HWND window_;
    int id_;
    bool registered_ = false;
};

}  // namespace Platform::Win32
