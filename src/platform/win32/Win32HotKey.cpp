#include "platform/win32/Win32HotKey.h"

#include "common/win32/Win32WideText.h"
#include "core/FailureTexts.h"

namespace Platform::Win32 {

#ifndef MOD_NOREPEAT
#define MOD_NOREPEAT 0x4000
#endif

namespace {

// The one hot key whose hold is watched: the hook's procedure has no other way to it.
Win32HotKey* watching = nullptr;

}  // namespace

Win32HotKey::~Win32HotKey() {
    Unhook();
    Unregister();
}

KestrelMain::Status Win32HotKey::Register(Seam::HotKeyAnswers&) {
    if (registered_)
        return std::nullopt;
    if (!RegisterHotKey(window_, id_, MOD_CONTROL | MOD_NOREPEAT, 'F'))
        return KestrelMain::Failure{
            KestrelMain::CANNOT_REGISTER_HOT_KEY, {}, SystemReason(GetLastError())};
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
        if (static_cast<int>(message.wParam) == id_) {
            const bool fresh = hold_.Press(message.time);
            if (!fresh) {
                // A hold that ended in silence is not watched any longer.
                if (!hold_.Held())
                    Unhook();
                continue;
            }
            WatchHold(message.time);
            return true;
        }
        // Another hot key of the same window: its own window procedure takes it.
        DispatchMessageW(&message);
    }
    return false;
}

void Win32HotKey::WatchHold(DWORD time) {
    if (hook_ == nullptr && watching == nullptr) {
        hook_ = SetWindowsHookExW(WH_KEYBOARD_LL, &Win32HotKey::WatchRelease,
                                  GetModuleHandleW(nullptr), 0);
        if (hook_ != nullptr)
            watching = this;
    }
    // A release that cannot be watched, or F already up (a short press): there is no hold,
    // and nothing queued is a repeat.
    if (hook_ == nullptr || (GetAsyncKeyState('F') & 0x8000) == 0)
        EndHold(time);
}

void Win32HotKey::EndHold(DWORD time) {
    hold_.Release(time);
    Unhook();
}

void Win32HotKey::Unhook() {
    if (hook_ == nullptr)
        return;
    UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    watching = nullptr;
}

LRESULT CALLBACK Win32HotKey::WatchRelease(int code, WPARAM wParam, LPARAM lParam) {
    const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    const bool released =
        code == HC_ACTION && (wParam == WM_KEYUP || wParam == WM_SYSKEYUP) && key->vkCode == 'F';
    const DWORD time = code == HC_ACTION ? key->time : 0;
    const LRESULT result = CallNextHookEx(nullptr, code, wParam, lParam);
    if (released && watching != nullptr)
        watching->EndHold(time);
    return result;
}

}  // namespace Platform::Win32
