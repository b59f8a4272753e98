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
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace TestSupport {

namespace {

// No input devices and no console switching: the server only shows a screen.
constexpr const char* DUMMY_XORG_CONF = R"(Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoEnableDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 65536
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
  Modeline "1920x1080" 148.50 1920 2008 2052 2200 1080 1084 1089 1125 +hsync +vsync
  Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
  Modeline "800x600" 40.00 800 840 968 1056 600 601 605 628 +hsync +vsync
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1024x768" "1920x1080" "800x600"
    Virtual 1920 1080
  EndSubSection
EndSection
)";

}  // namespace

XvfbServer::XvfbServer(XvfbOptions options) {
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<std::string> args;
    if (options.DummyXorg) {
        config_ = std::make_unique<TestKit::ScratchFolder>("kestrel-xorg");
        const std::string configDir = config_->Path().string();
        std::ofstream(configDir + "/xorg.conf") << DUMMY_XORG_CONF;
        args = {"Xorg",
                "-displayfd",
                std::to_string(fds[1]),
                "-config",
                configDir + "/xorg.conf",
                "-logfile",
                configDir + "/xorg.log",
                "-nolisten",
                "tcp",
                "-noreset"};
    } else {
        const std::string screen = std::to_string(options.Width) + "x" +
                                   std::to_string(options.Height) + "x" +
                                   std::to_string(options.Depth);
        args = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten",
                "tcp",  "-noreset"};
    }
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
        execvp(argv[0], argv.data());
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
        throw std::runtime_error(
            options.DummyXorg
                ? "Xorg did not start (is the xserver-xorg-video-dummy package installed?)"
                : "Xvfb did not start (is the xvfb package installed?)");
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
    config_.reset();
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
