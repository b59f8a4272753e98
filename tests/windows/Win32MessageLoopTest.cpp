// The idle wait of kestrel.exe's loop wakes for every message that waits to be taken, also
// one that a peek has already looked past: the dispatch peeks twice, around WM_HOTKEY, and a
// message posted between the two peeks is one the second peek has seen and left.
#include "platform/win32/Win32HotKey.h"
#include "platform/win32/Win32MessageLoop.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

namespace {

using Platform::Win32::Win32HotKey;
using Platform::Win32::Win32MessageLoop;

TEST(Win32MessageLoop, WaitReturnsForAMessageAPeekHasLookedPast) {
    struct Case {
        const char* name;
        UINT message;
        UINT first, last;  // the peek's filter, which misses the message
    };
    const Case cases[] = {
        {"WM_CLOSE, peeked above WM_HOTKEY", WM_CLOSE, WM_HOTKEY + 1, 0xFFFFFFFFu},
        {"WM_APP, peeked below WM_HOTKEY", WM_APP, 0, WM_HOTKEY - 1},
    };
    for (const Case& c : cases) {
        HANDLE returned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ASSERT_NE(returned, nullptr);
        std::atomic<DWORD> loopThread{0};
        std::atomic<bool> peekMissed{false};
        // The loop on a thread of its own, so that a wait that never returns fails the case
        // instead of hanging the test.
        std::thread loop([&] {
            Win32HotKey hotKey(nullptr, 1);  // not registered: no press is ever pending
            Win32MessageLoop messageLoop(hotKey, [] { return std::vector<HWND>{}; });
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue
            loopThread = GetCurrentThreadId();
            PostThreadMessageW(GetCurrentThreadId(), c.message, 0, 0);
            peekMissed = !PeekMessageW(&message, nullptr, c.first, c.last, PM_REMOVE);
            messageLoop.WaitMessage();
            SetEvent(returned);
        });
        const bool woke = WaitForSingleObject(returned, 10000) == WAIT_OBJECT_0;
        EXPECT_TRUE(woke) << c.name << ": the wait slept on with the message queued";
        if (!woke)  // a new message wakes even a wait that missed the first one
            PostThreadMessageW(loopThread, WM_NULL, 0, 0);
        loop.join();
        CloseHandle(returned);
        EXPECT_TRUE(peekMissed) << c.name << ": the peek took the message";
    }
}

}  // namespace
