// A private X server for one test: its own display number, chosen by the server itself
// through -displayfd, so tests running side by side never collide.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace TestSupport {

struct XvfbOptions {
    int Width = 1024;
    int Height = 768;
    int Depth = 24;
    std::vector<std::string> ExtraArgs;
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
};

}  // namespace TestSupport
