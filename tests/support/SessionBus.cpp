#include "support/SessionBus.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace TestSupport {

SessionBus::SessionBus() {
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
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
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
