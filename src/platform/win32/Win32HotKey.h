// Ctrl+F for the whole desktop through RegisterHotKey: presses arrive as WM_HOTKEY in the
// thread's message queue (or the given window's), a held key being one press. The system
// drops the key's auto-repeats (MOD_NOREPEAT); where it does not (Wine), Win32KeyHold tells
// the repeats, and a low-level keyboard hook watches F's release only while a hold lasts.
#pragma once

#include "core/Failure.h"
#include "core/seam/HotKey.h"
#include "platform/win32/Win32KeyHold.h"

#include <windows.h>

namespace Platform::Win32 {

class Win32HotKey final : public Seam::HotKey {
  public:
    // window may be null: the presses then go to the thread's queue.
    Win32HotKey(HWND window, int id) : window_(window), id_(id) {}
    ~Win32HotKey();
    Win32HotKey(const Win32HotKey&) = delete;
    Win32HotKey& operator=(const Win32HotKey&) = delete;

    // Registers Ctrl+F; a failure (another program holds it) carries the system's reason.
    KestrelMain::Status Register(Seam::HotKeyAnswers& later) override;
    void Unregister() override;
    bool Registered() const { return registered_; }

    // Whether a press waits in the queue; it stays there.
    bool PressPending() override;
    // Removes one pending press from the queue, if there is one.
    bool TakePress() override;

  private:
    // Watches F's release after a new press at `time`.
    void WatchHold(DWORD time);
    void EndHold(DWORD time);
    void Unhook();
    static LRESULT CALLBACK WatchRelease(int code, WPARAM wParam, LPARAM lParam);

    HWND window_;
    int id_;
    bool registered_ = false;
    Win32KeyHold hold_;
    HHOOK hook_ = nullptr;  // set while F is held since the last press taken
};

}  // namespace Platform::Win32
