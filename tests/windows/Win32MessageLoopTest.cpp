// The message loop's wait under the ways it can miss a message: one that came into the
// queue while a filtered look at it (DoEvents' two ranges around WM_HOTKEY, or the look for
// a pending Ctrl+F press) saw it without taking it. Such a message is no longer new, and a
// plain WaitMessage sleeps on it.
#include "platform/win32/Win32HotKey.h"
#include "platform/win32/Win32MessageLoop.h"
#include "support/FakeEvents.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <thread>
#include <vector>

namespace {

using Platform::Win32::Win32HotKey;
using Platform::Win32::Win32MessageLoop;

constexpr UINT QUEUED = WM_APP + 1;
constexpr UINT WATCHDOG = WM_APP + 2;

TEST(Win32MessageLoop, WaitEndsForAMessageAFilteredPeekHasAlreadySeen) {
    Win32HotKey hotKey(nullptr, 1);  // not registered: no press can be pending
    Win32MessageLoop loop(hotKey, [] { return std::vector<HWND>{}; });

    struct Case {
        UINT message;
        UINT seenFrom, seenTo;  // the range looked at without taking the message
    };
    const Case cases[] = {
        {QUEUED, 0, WM_HOTKEY - 1},              // past WM_HOTKEY, seen from the range before it
        {WM_CLOSE, WM_HOTKEY + 1, 0xFFFFFFFFu},  // before it, seen from the range after
    };
    const DWORD self = GetCurrentThreadId();
    for (const Case& c : cases) {
        ASSERT_TRUE(PostThreadMessageW(self, c.message, 0, 0));
        MSG message;
        ASSERT_FALSE(PeekMessageW(&message, nullptr, c.seenFrom, c.seenTo, PM_NOREMOVE));

        // Should the wait miss it, the watchdog wakes it after ten seconds, and says so.
        HANDLE returned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        bool woken = false;
        std::thread watchdog([&] {
            if (WaitForSingleObject(returned, 10000) == WAIT_TIMEOUT) {
                woken = true;
                PostThreadMessageW(self, WATCHDOG, 0, 0);
            }
        });
        loop.WaitMessage();
        SetEvent(returned);
        watchdog.join();
        CloseHandle(returned);
        EXPECT_FALSE(woken) << "the wait slept on a message already queued: " << c.message;

        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
}

TEST(Win32MessageLoop, AWaitReturnsForAMessageQueuedBeforeIt) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists
    Win32HotKey hotKey(nullptr, 7);
    TestSupport::RecordingHotKeyAnswers answers;
    ASSERT_EQ(hotKey.Register(answers), std::nullopt);
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
