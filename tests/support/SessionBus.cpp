#include "support/SessionBus.h"

#include "support/Wait.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace TestSupport {

SessionBus::SessionBus() {
    Start(nullptr);
}

SessionBus::SessionBus(const std::vector<std::string>& environment) : starts_(true) {
    // The session bus looks for services in $XDG_DATA_HOME/dbus-1/services too.
    std::string dataHome;
    for (const std::string& entry : environment) {
        if (entry.rfind("XDG_DATA_HOME=", 0) == 0)
            dataHome = entry.substr(std::strlen("XDG_DATA_HOME="));
    }
    if (dataHome.empty())
        throw std::runtime_error("the bus's environment has no XDG_DATA_HOME");
    const std::filesystem::path services = std::filesystem::path(dataHome) / "dbus-1/services";
    std::filesystem::create_directories(services);
    std::ofstream(services / "org.ardmoor.Kestrel.service")
        << "[D-BUS Service]\nName=org.ardmoor.Kestrel\nExec=" << KESTREL_BINARY << "\n";
    Start(&environment);
}

void SessionBus::Start(const std::vector<std::string>* environment) {
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        const std::string printAddress = "--print-address=" + std::to_string(fds[1]);
        if (environment != nullptr) {
            clearenv();
            for (const std::string& entry : *environment) putenv(strdup(entry.c_str()));
        }
        execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile",
               printAddress.c_str(), nullptr);
        _exit(127);
    }
    close(fds[1]);
    // The address comes once the bus listens; the pipe closes unread if it cannot start.
    FILE* announced = fdopen(fds[0], "r");
    char line[512] = {};
    if (std::fgets(line, sizeof line, announced) != nullptr)
        address_.assign(line, std::strcspn(line, "\n"));
    std::fclose(announced);
    if (address_.empty())
        throw std::runtime_error("dbus-daemon did not start (is dbus-daemon installed?)");
}

SessionBus::~SessionBus() {
    // The Kestrel the bus started is not this process's child: ended, and waited for until
    // it is gone, before the bus goes.
    if (const pid_t started = starts_ ? KestrelPid() : -1; started > 0) {
        kill(started, SIGTERM);
        WaitUntil([started] { return kill(started, 0) != 0; }, std::chrono::seconds(10));
    }
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

pid_t SessionBus::KestrelPid() const {
    const std::string command = "DBUS_SESSION_BUS_ADDRESS='" + address_ +
                                "' gdbus call --session --timeout 5 --dest org.freedesktop.DBus "
                                "--object-path /org/freedesktop/DBus --method "
                                "org.freedesktop.DBus.GetConnectionUnixProcessID "
                                "org.ardmoor.Kestrel 2>/dev/null";
    FILE* answer = popen(command.c_str(), "r");
    if (answer == nullptr)
        return -1;
    // "(uint32 1234,)"
    unsigned pid = 0;
    const bool read = std::fscanf(answer, " (uint32 %u", &pid) == 1;
    pclose(answer);
    return read && pid > 0 ? static_cast<pid_t>(pid) : -1;
}

bool SessionBus::CallKestrel(const std::string& method, const std::string& arguments) const {
    const std::string command = "DBUS_SESSION_BUS_ADDRESS='" + address_ +
                                "' gdbus call --session --timeout 10 --dest org.ardmoor.Kestrel "
                                "--object-path /org/ardmoor/Kestrel --method "
                                "org.freedesktop.Application." +
                                method + " " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

}  // namespace TestSupport
