// The idle loop's wait with Ctrl+F registered: looking for a pending press must not hide a
// message queued before the wait, or a click would wait for whatever message came next.
#include "platform/win32/Win32HotKey.h"
#include "platform/win32/Win32MessageLoop.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <thread>
#include <vector>

namespace {

using Platform::Win32::Win32HotKey;
using Platform::Win32::Win32MessageLoop;

TEST(Win32MessageLoop, AWaitReturnsForAMessageQueuedBeforeIt) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists
    Win32HotKey hotKey(nullptr, 7);
    ASSERT_EQ(hotKey.Register(), std::nullopt);
    Win32MessageLoop loop(hotKey, [] { return std::vector<HWND>{}; });

    const DWORD thread = GetCurrentThreadId();
    ASSERT_TRUE(PostThreadMessageW(thread, WM_APP, 0, 0));
    // Should the wait miss it, a message after the deadline ends the wait all the same.
    HANDLE returned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool missed = false;
    std::thread watchdog([&] {
        if (WaitForSingleObject(returned, 10000) == WAIT_TIMEOUT) {
            missed = true;
            PostThreadMessageW(thread, WM_APP + 1, 0, 0);
        }
    });
    loop.WaitMessage();
    SetEvent(returned);
    watchdog.join();
    CloseHandle(returned);
    EXPECT_FALSE(missed) << "the wait returned only for the next message";

    // The message is still there for the dispatch.
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_APP, WM_APP, PM_REMOVE));
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

}  // namespace
