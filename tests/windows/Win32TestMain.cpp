// The backend's tests run as the program will: per-monitor DPI aware where the system
// offers it, so sizes and positions are the screen's own pixels.
#include "platform/win32/Win32Screen.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    Platform::Win32::BecomePerMonitorDpiAware();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
