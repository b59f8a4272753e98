#include "support/Xvfb.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace TestSupport {

XvfbServer::XvfbServer(XvfbOptions options) {
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    const std::string screen = std::to_string(options.Width) + "x" +
                               std::to_string(options.Height) + "x" + std::to_string(options.Depth);
    std::vector<std::string> args{"Xvfb",      "-displayfd", std::to_string(fds[1]),
                                  "-screen",   "0",          screen,
                                  "-nolisten", "tcp",        "-noreset"};
    args.insert(args.end(), options.ExtraArgs.begin(), options.ExtraArgs.end());

    pid_ = fork();
    if (pid_ == 0) {
        // The server goes with the test process, however that ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(fds[1]);

    // The server writes its display number once it accepts connections.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (poll(&p, 1, static_cast<int>(std::max<long>(1, left.count()))) <= 0)
            continue;
        char c;
        const ssize_t n = read(fds[0], &c, 1);
        if (n <= 0 || c == '\n')
            break;
        number.push_back(c);
    }
    close(fds[0]);
    if (number.empty()) {
        Stop();
        throw std::runtime_error("Xvfb did not start (is the xvfb package installed?)");
    }
    display_ = ":" + number;
}

XvfbServer::~XvfbServer() {
    Stop();
}

bool XvfbServer::Running() const {
    return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0;
}

void XvfbServer::Stop() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

bool SetMonitor(const std::string& display, const Monitor& monitor) {
    // The size in millimetres only matters to dots-per-inch guesses: 96 dpi.
    const auto millimetres = [](int pixels) { return std::to_string(pixels * 254 / 960); };
    const std::string geometry = std::to_string(monitor.Width) + "/" + millimetres(monitor.Width) +
                                 "x" + std::to_string(monitor.Height) + "/" +
                                 millimetres(monitor.Height) + "+" + std::to_string(monitor.X) +
                                 "+" + std::to_string(monitor.Y);
    const std::string command = "xrandr -display " + display + " --setmonitor '" +
                                (monitor.Primary ? "*" : "") + monitor.Name + "' " + geometry +
                                " none >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

}  // namespace TestSupport
