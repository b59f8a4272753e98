#include "platform/win32/Win32HotKey.h"

#include "platform/win32/WideText.h"

namespace Platform::Win32 {

#ifndef MOD_NOREPEAT
#define MOD_NOREPEAT 0x4000
#endif

Win32HotKey::~Win32HotKey() {
    Unregister();
}

KestrelMain::Status Win32HotKey::Register() {
    if (registered_)
        return std::nullopt;
    if (!RegisterHotKey(window_, id_, MOD_CONTROL | MOD_NOREPEAT, 'F'))
        return KestrelMain::Failure{"Cannot register Ctrl+F", {}, SystemReason(GetLastError())};
    registered_ = true;
    return std::nullopt;
}

void Win32HotKey::Unregister() {
    if (registered_)
        UnregisterHotKey(window_, id_);
    registered_ = false;
}

bool Win32HotKey::PressPending() {
    MSG message;
    return registered_ && PeekMessageW(&message, window_, WM_HOTKEY, WM_HOTKEY, PM_NOREMOVE) &&
           static_cast<int>(message.wParam) == id_;
}

bool Win32HotKey::TakePress() {
    MSG message;
    while (PeekMessageW(&message, window_, WM_HOTKEY, WM_HOTKEY, PM_REMOVE)) {
        if (static_cast<int>(message.wParam) == id_)
            return true;
        // Another hot key of the same window: its own window procedure takes it.
        DispatchMessageW(&message);
    }
    return false;
}

}  // namespace Platform::Win32
