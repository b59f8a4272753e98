#include "Spawn.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace Bench {

namespace {

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides) {
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string variable = *e;
        const std::string name = variable.substr(0, variable.find('=') + 1);
        bool replaced = false;
        for (const std::string& o : overrides) replaced = replaced || o.starts_with(name);
        if (!replaced)
            environment.push_back(variable);
    }
    environment.insert(environment.end(), overrides.begin(), overrides.end());
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (std::string& w : words) pointers.push_back(w.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

pid_t Spawn(const Command& command, std::string& error) {
    std::vector<std::string> arguments = command.Arguments;
    std::vector<std::string> environment = EnvironmentWith(command.Environment);
    const std::vector<char*> argv = Pointers(arguments);
    const std::vector<char*> envp = Pointers(environment);
    constexpr int WRITE = O_WRONLY | O_CREAT | O_TRUNC;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!command.Directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, command.Directory.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (!command.Output.empty())
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, command.Output.c_str(), WRITE,
                                         0644);
    if (!command.Errors.empty() && command.Errors == command.Output)
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    else if (!command.Errors.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, command.Errors.c_str(), WRITE,
                                         0644);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        error = arguments[0] + ": " + std::strerror(failed);
        return -1;
    }
    return pid;
}

int Reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return status;
}

}  // namespace Bench
