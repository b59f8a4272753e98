// The primary monitor and the pointer on the test's display.
#include "Win32TestSupport.h"
#include "platform/win32/Win32Screen.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using Platform::Win32::Win32Screen;
using Seam::PointerPosition;
using Seam::ScreenRect;

TEST(Win32Screen, PrimaryMonitorIsAtTheOriginWithTheScreensSize) {
    Win32Screen screen;
    const auto primary = screen.ReadPrimaryScreen();
    ASSERT_TRUE(primary.Ok()) << primary.Error().Text();
    EXPECT_EQ(*primary,
              (ScreenRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}));
    EXPECT_GT(primary.Value().Width, 0);
    EXPECT_GT(primary.Value().Height, 0);
}

TEST(Win32Screen, PointerIsReadRelativeToTheGivenMonitor) {
    Win32Screen screen;
    const auto primary = screen.ReadPrimaryScreen();
    ASSERT_TRUE(primary.Ok()) << primary.Error().Text();
    const int right = primary.Value().Width - 1;
    const int bottom = primary.Value().Height - 1;
    const struct {
        POINT Cursor;
        ScreenRect Monitor;
        PointerPosition Expected;
    } cases[] = {
        {{10, 20}, *primary, {10, 20}},
        {{0, 0}, *primary, {0, 0}},
        {{right, bottom}, *primary, {right, bottom}},
        // A monitor whose corner is elsewhere: the pointer is left of and above it.
        {{30, 40}, {100, 50, 640, 480}, {-70, -10}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(SetCursorPos(c.Cursor.x, c.Cursor.y));
        PointerPosition read;
        const bool arrived = Win32Test::WaitUntil([&] {
            const auto pointer = screen.ReadPointer(c.Monitor);
            if (!pointer.Ok() || !(*pointer).Position)
                return false;
            read = *(*pointer).Position;
            return read.X == c.Expected.X && read.Y == c.Expected.Y;
        });
        EXPECT_TRUE(arrived) << "cursor at " << c.Cursor.x << ", " << c.Cursor.y << " read as "
                             << read.X << ", " << read.Y;
    }
}

}  // namespace
