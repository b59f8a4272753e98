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

// Longer than any keyboard waits before it repeats a held key (at most 1 s on Windows) or
// between repeats: a hold this silent ended with a release the hook did not see.
constexpr DWORD LONGEST_REPEAT_GAP_MS = 2000;

// Message times wrap around after 49 days; their order is that of their difference.
bool NotAfter(DWORD time, DWORD limit) {
    return static_cast<LONG>(time - limit) <= 0;
}

}  // namespace

Win32HotKey::~Win32HotKey() {
    EndHold(pressedAt_);
    Unregister();
}

KestrelMain::Status Win32HotKey::Register(HotKeyAnswers&) {
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
            const bool repeat = IsRepeat(message.time);
            lastSeen_ = message.time;
            if (repeat)
                continue;
            StartHold(message.time);
            return true;
        }
        // Another hot key of the same window: its own window procedure takes it.
        DispatchMessageW(&message);
    }
    return false;
}

bool Win32HotKey::IsRepeat(DWORD time) {
    if (hold_ != nullptr && !NotAfter(time, lastSeen_ + LONGEST_REPEAT_GAP_MS))
        EndHold(lastSeen_);
    if (hold_ != nullptr)
        return true;
    // Stamped between the last press taken and F's release: queued before the release.
    return NotAfter(pressedAt_, time) && NotAfter(time, releasedAt_);
}

void Win32HotKey::StartHold(DWORD time) {
    pressedAt_ = time;
    releasedAt_ = time;
    if (watching != nullptr)
        return;
    hold_ =
        SetWindowsHookExW(WH_KEYBOARD_LL, &Win32HotKey::WatchRelease, GetModuleHandleW(nullptr), 0);
    if (hold_ == nullptr)
        return;
    watching = this;
    // Already up (a short press): there is no hold, and nothing queued is a repeat.
    if ((GetAsyncKeyState('F') & 0x8000) == 0)
        EndHold(time);
}

void Win32HotKey::EndHold(DWORD time) {
    if (hold_ == nullptr)
        return;
    releasedAt_ = time;
    UnhookWindowsHookEx(hold_);
    hold_ = nullptr;
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
