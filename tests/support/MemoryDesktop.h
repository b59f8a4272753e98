// A whole desktop in memory, installed behind the seam for one test or one case of a table
// and taken away with it: stored settings and a recording error report (MemoryServices), a
// screen of known pixels, a fixed clock, an in-memory file system, a hot key and a message
// loop driven by the test, and a main window that records what it was told. Log holds the
// main window's and the hot key's calls in order.
#pragma once

#include "core/LocalTime.h"
#include "support/FakeEvents.h"
#include "support/FakeScreen.h"
#include "support/FixedClock.h"
#include "support/MemoryFileSystem.h"
#include "support/MemoryServices.h"

#include <string>
#include <vector>

namespace TestSupport {

inline constexpr KestrelMain::LocalDateTime AT_140359{2026, 12, 7, 14, 3, 59};

class MemoryDesktop {
  public:
    explicit MemoryDesktop(int screenWidth = 1024, int screenHeight = 768)
        : Screen(screenWidth, screenHeight) {
        View.Log = &Log;
        HotKey.Log = &Log;
        Screen.Log = &Log;
        Files.Log = &Log;
    }

    FakeScreen Screen;
    FixedClock Clock{AT_140359};
    MemoryFileSystem Files;
    RecordingView View;
    FakeHotKey HotKey;
    FakeMessageLoop Loop;
    std::vector<std::string> Log;
    // Last, so everything it installs exists first.
    MemoryServices Services{Seam::Services{.Screen = &Screen,
                                           .Grab = &Screen,
                                           .Files = &Files,
                                           .Clock = &Clock,
                                           .HotKey = &HotKey,
                                           .Loop = &Loop,
                                           .MainWindow = &View}};
};

}  // namespace TestSupport
