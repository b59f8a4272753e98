#include "support/KestrelProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace TestSupport {

namespace fs = std::filesystem;

KestrelProcess::KestrelProcess(const PrivateEnvironment& environment, const std::string& display,
                               LaunchOptions options)
    : environment_(environment) {
    static int launches = 0;
    stderrFile_ = environment.Root() / ("kestrel-stderr-" + std::to_string(++launches) + ".txt");

    std::vector<std::string> env = environment.ChildEnvironment(display);
    for (const std::string& extra : options.ExtraEnv) {
        const std::string name = extra.substr(0, extra.find('=') + 1);
        std::erase_if(env, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
        env.push_back(extra);
    }
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> arguments{KESTREL_BINARY};
    arguments.insert(arguments.end(), options.Arguments.begin(), options.Arguments.end());
    std::vector<char*> argv;
    for (auto& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string errPath = stderrFile_.string();
    const std::string workDir = environment.Home().string();

    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        // As a terminal starts it, whatever the test runner ignores.
        for (const int end : {SIGTERM, SIGINT, SIGHUP}) signal(end, SIG_DFL);
        const int devNull = open("/dev/null", O_RDWR);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (chdir(workDir.c_str()) != 0)
            _exit(126);
        if (options.FileSizeLimit >= 0) {
            // The soft limit only: the program may not raise it, but a test can lift the
            // disk's "fullness" again by starting the next capture without one.
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = static_cast<rlim_t>(options.FileSizeLimit);
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (options.Gid >= 0) {
            const auto gid = static_cast<gid_t>(options.Gid);
            if (setgroups(1, &gid) != 0 || setgid(gid) != 0)
                _exit(125);
        }
        if (options.Uid >= 0 && setuid(static_cast<uid_t>(options.Uid)) != 0)
            _exit(125);
        // A change of user clears the parent-death signal.
        if (options.Uid >= 0 || options.Gid >= 0)
            prctl(PR_SET_PDEATHSIG, SIGKILL);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
}

KestrelProcess::~KestrelProcess() {
    if (Running()) {
        Kill(SIGKILL);
        WaitExit(std::chrono::seconds(10));
    }
}

bool KestrelProcess::Running() {
    if (status_ || pid_ <= 0)
        return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = status;
        return false;
    }
    return true;
}

std::optional<int> KestrelProcess::WaitExit(std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (Running()) {
        if (std::chrono::steady_clock::now() >= end)
            return std::nullopt;
        usleep(2000);
    }
    return status_;
}

void KestrelProcess::Kill(int signal) {
    if (Running())
        kill(pid_, signal);
}

std::string KestrelProcess::Stderr() const {
    std::ifstream in(stderrFile_);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path KestrelProcess::FindCaptureDir() const {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(environment_.Pictures(), ec)) {
        if (entry.is_directory() && entry.path().filename().string().rfind("KESTREL_", 0) == 0) {
            return entry.path();
        }
    }
    return {};
}

long KestrelProcess::CpuTicks() const {
    std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields after the command name, which may itself hold spaces and parentheses.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14)
            utime = std::stol(field);
        if (i == 15) {
            stime = std::stol(field);
            break;
        }
    }
    return utime + stime;
}

long KestrelProcess::ContextSwitches() const {
    long total = 0;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid_) + "/task", ec)) {
        std::ifstream in(task.path() / "status");
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
                total += std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    return total;
}

std::vector<fs::path> ListFiles(const fs::path& directory, const std::string& extension) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(directory, ec)) {
        if (entry.path().extension() == extension)
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace TestSupport
