#include "Win32TestSupport.h"

#include <string>
#include <system_error>

namespace Win32Test {

void DispatchPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        DispatchPending();
        if (condition())
            return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        // Woken by the next message, or after a short while for conditions that no
        // message announces (what the X server shows).
        MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                  static_cast<DWORD>(std::min<long long>(left.count(), 20)),
                                  QS_ALLINPUT);
    }
}

TemporaryFolder::TemporaryFolder() {
    static unsigned serial = 0;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / (L"kestrel-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(serial++));
        if (CreateDirectoryW(path_.c_str(), nullptr))
            return;
    }
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace Win32Test
