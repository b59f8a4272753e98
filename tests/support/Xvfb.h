// A private X server for one test: its own display number, chosen by the server itself
// through -displayfd, so tests running side by side never collide.
#pragma once

#include "testkit/ScratchFolder.h"

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace TestSupport {

struct XvfbOptions {
    int Width = 1024;
    int Height = 768;
    int Depth = 24;
    std::vector<std::string> ExtraArgs;
    // A real Xorg on the dummy video driver instead, which switches its RandR modes as a
    // monitor does (Xvfb's screen keeps its size): output DUMMY0 at 1024x768, with
    // 1920x1080 and 800x600 to switch to. Only root may start it.
    bool DummyXorg = false;
};

class XvfbServer {
  public:
    explicit XvfbServer(XvfbOptions options = {});
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    std::string Display() const { return display_; }
    pid_t Pid() const { return pid_; }
    bool Running() const;
    void Stop();

  private:
    pid_t pid_ = -1;
    std::string display_;
    std::unique_ptr<TestKit::ScratchFolder> config_;  // the dummy Xorg's configuration and log
};

// A RandR monitor, a part of the screen that the desktop treats as one display; the primary
// one is where the program's screen coordinates count from.
struct Monitor {
    std::string Name;
    int X = 0, Y = 0, Width = 0, Height = 0;
    bool Primary = false;
};

// Declares the monitor on a running server (xrandr --setmonitor); the server keeps it
// because it never resets. False when xrandr failed.
bool SetMonitor(const std::string& display, const Monitor& monitor);

}  // namespace TestSupport
