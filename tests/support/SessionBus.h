// A private session bus for one test: its own dbus-daemon, gone with the object or with
// the test process.
#pragma once

#include <sys/types.h>

#include <string>

namespace TestSupport {

class SessionBus {
  public:
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    // "DBUS_SESSION_BUS_ADDRESS=...", for a child's environment.
    std::string Variable() const { return "DBUS_SESSION_BUS_ADDRESS=" + address_; }
    // Kestrel's org.freedesktop.Application method called with gdbus, as a desktop's key
    // binding calls it; true when it answered without an error.
    bool CallKestrel(const std::string& method, const std::string& arguments) const;

  private:
    pid_t pid_ = -1;
    std::string address_;
};

}  // namespace TestSupport
