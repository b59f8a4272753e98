// Ctrl+F for the whole desktop through RegisterHotKey: presses arrive as WM_HOTKEY in the
// thread's message queue (or the given window's), a held key being one press.
#pragma once

#include "core/Failure.h"
#include "platform/HotKey.h"

#include <windows.h>

namespace Platform::Win32 {

class Win32HotKey final : public HotKey {
  public:
    // window may be null: the presses then go to the thread's queue.
    Win32HotKey(HWND window, int id) : window_(window), id_(id) {}
    ~Win32HotKey();
    Win32HotKey(const Win32HotKey&) = delete;
    Win32HotKey& operator=(const Win32HotKey&) = delete;

    // Registers Ctrl+F; a failure (another program holds it) carries the system's reason.
    KestrelMain::Status Register() override;
    void Unregister();
    bool Registered() const { return registered_; }

    // Whether a press waits in the queue; it stays there.
    bool PressPending() override;
    // Removes one pending press from the queue, if there is one.
    bool TakePress() override;

  private:
    HWND window_;
    int id_;
    bool registered_ = false;
};

}  // namespace Platform::Win32
