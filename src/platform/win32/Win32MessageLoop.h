// The program's message loop on the thread's Win32 queue: a wait that returns at once while
// a hot-key press waits to be taken, and a dispatch that gives the main window and the error
// box their dialog keys (Tab between the buttons).
#pragma once

#include "core/seam/HotKey.h"
#include "core/seam/MessageLoop.h"

#include <windows.h>

#include <functional>
#include <vector>

namespace Platform::Win32 {

class Win32MessageLoop final : public Seam::MessageLoop {
  public:
    // dialogWindows: the windows whose messages go through IsDialogMessageW, asked anew at
    // every message since they come and go (the error box).
    Win32MessageLoop(Seam::HotKey& hotKey, std::function<std::vector<HWND>()> dialogWindows)
        : hotKey_(hotKey), dialogWindows_(std::move(dialogWindows)) {}

    void WaitMessage() override;
    void DoEvents() override;
    [[noreturn]] void EndProgramNow() override;

  private:
    Seam::HotKey& hotKey_;
    std::function<std::vector<HWND>()> dialogWindows_;
};

}  // namespace Platform::Win32
