#include "platform/win32/Win32MessageLoop.h"

namespace Platform::Win32 {

void Win32MessageLoop::WaitMessage() {
    if (hotKey_.PressPending())
        return;
    // Not ::WaitMessage: the peek for a press marks what is queued as seen, and a click
    // posted just before it would then wait for the next message. This returns while
    // anything at all is queued.
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void Win32MessageLoop::DoEvents() {
    MSG message;
    // Hot-key presses stay queued: the idle loop takes them one per pass.
    while (PeekMessageW(&message, nullptr, 0, WM_HOTKEY - 1, PM_REMOVE) ||
           PeekMessageW(&message, nullptr, WM_HOTKEY + 1, 0xFFFFFFFFu, PM_REMOVE)) {
        // Asked for each message: the one before may have opened or closed one of them.
        const std::vector<HWND> dialogs = dialogWindows_();
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
