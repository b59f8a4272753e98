#include "platform/win32/Win32MessageLoop.h"

namespace Platform::Win32 {

void Win32MessageLoop::WaitMessage() {
    if (hotKey_.PressPending())
        return;
    // Returns while any message waits, not only a new one: DoEvents' filtered peeks mark
    // the queue as seen, so a message posted between them (a Quit click, WM_CLOSE) would
    // otherwise wait for the next one to arrive.
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void Win32MessageLoop::DoEvents() {
    const std::vector<HWND> dialogs = dialogWindows_();
    MSG message;
    // Hot-key presses stay queued: the idle loop takes them one per pass.
    while (PeekMessageW(&message, nullptr, 0, WM_HOTKEY - 1, PM_REMOVE) ||
           PeekMessageW(&message, nullptr, WM_HOTKEY + 1, 0xFFFFFFFFu, PM_REMOVE)) {
        bool handled = false;
        for (HWND dialog : dialogs) {
            if (dialog != nullptr && IsWindow(dialog) &&
                (message.hwnd == dialog || IsChild(dialog, message.hwnd)) &&
                IsDialogMessageW(dialog, &message)) {
                handled = true;
                break;
            }
        }
        if (!handled) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

// Nothing is left to save: every capture and every setting is on disk once its handler
// returned, and the hot key and the windows go with the process.
void Win32MessageLoop::EndProgramNow() {
    ExitProcess(0);
}

}  // namespace Platform::Win32
