// A private session bus for one test: its own dbus-daemon, gone with the object or with
// the test process.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace TestSupport {

class SessionBus {
  public:
    SessionBus();
    // A bus that starts the built Kestrel when its name is called, as the installed service
    // file has it, with `environment` (a child's, from PrivateEnvironment) for the bus and
    // what it starts; that Kestrel is ended with the bus.
    explicit SessionBus(const std::vector<std::string>& environment);
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    // "DBUS_SESSION_BUS_ADDRESS=...", for a child's environment.
    std::string Variable() const { return "DBUS_SESSION_BUS_ADDRESS=" + address_; }
    // Kestrel's org.freedesktop.Application method called with gdbus, as a desktop's key
    // binding calls it; true when it answered without an error.
    bool CallKestrel(const std::string& method, const std::string& arguments) const;

    // The process that holds Kestrel's name on this bus, or -1.
    pid_t KestrelPid() const;

  private:
    void Start(const std::vector<std::string>* environment);

    bool starts_ = false;
    pid_t pid_ = -1;
    std::string address_;
};

}  // namespace TestSupport
