#include "platform/win32/Win32MessageLoop.h"

namespace Platform::Win32 {

void Win32MessageLoop::WaitMessage() {
    if (hotKey_.PressPending())
        return;
    // A hot-key message that no pass takes (its key since unregistered) would keep a wait
    // for any queued message from ever sleeping: then only new messages end the wait.
    MSG hotKeyMessage;
    if (PeekMessageW(&hotKeyMessage, nullptr, WM_HOTKEY, WM_HOTKEY, PM_NOREMOVE)) {
        ::WaitMessage();
        return;
    }
    // Else any message in the queue ends it, not only new ones: a message that came while
    // DoEvents looked at the other side of WM_HOTKEY was seen there without being taken, and
    // is no longer new.
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void Win32MessageLoop::DoEvents() {
    MSG message;
    // Hot-key presses stay queued: the idle loop takes them one per pass.
    while (PeekMessageW(&message, nullptr, 0, WM_HOTKEY - 1, PM_REMOVE) ||
           PeekMessageW(&message, nullptr, WM_HOTKEY + 1, 0xFFFFFFFFu, PM_REMOVE)) {
        // Asked per message: a window made by a message of this pass (the About window
        // opened by a click) gets its dialog keys from the very next one.
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
