// The built kestrel binary as a child process with a private environment, its standard
// error kept in a file for the test to read.
#pragma once

#include "support/PrivateEnv.h"

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace TestSupport {

struct LaunchOptions {
    std::vector<std::string> ExtraEnv;  // "NAME=value", added or replacing
    long FileSizeLimit = -1;            // RLIMIT_FSIZE in bytes; -1 leaves it alone
    // The user and group the child runs as, switched to just before it starts; -1 keeps the
    // test's own. Lets a test running as root see permissions apply to the program.
    int Uid = -1;
    int Gid = -1;
    // Command-line arguments after the program's name.
    std::vector<std::string> Arguments{};
};

class KestrelProcess {
  public:
    KestrelProcess(const PrivateEnvironment& environment, const std::string& display,
                   LaunchOptions options = {});
    ~KestrelProcess();
    KestrelProcess(const KestrelProcess&) = delete;
    KestrelProcess& operator=(const KestrelProcess&) = delete;

    pid_t Pid() const { return pid_; }
    bool Running();
    // The exit status as waitpid reports it, or nullopt when still running at the deadline.
    std::optional<int> WaitExit(std::chrono::milliseconds deadline);
    void Kill(int signal = 9);
    std::string Stderr() const;

    // The KESTREL_* directory under the private Pictures directory; empty if none.
    std::filesystem::path FindCaptureDir() const;

    // Processor time used so far (user + system), in clock ticks, over all threads.
    long CpuTicks() const;
    // Voluntary and involuntary context switches so far, over all threads: each wake-up
    // of a sleeping thread adds one.
    long ContextSwitches() const;

  private:
    const PrivateEnvironment& environment_;
    pid_t pid_ = -1;
    std::optional<int> status_;
    std::filesystem::path stderrFile_;
};

// The .bmp files in a directory, sorted by name.
std::vector<std::filesystem::path> ListFiles(const std::filesystem::path& directory,
                                             const std::string& extension = ".bmp");

}  // namespace TestSupport
