// How the benchmarks start a program: the peers a user would run, Kestrel itself, and their
// own measuring child, each with its output to a file and a clean standard input.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace Bench {

struct Command {
    std::vector<std::string> Arguments;    // the program first, looked up on PATH without a slash
    std::vector<std::string> Environment;  // NAME=value, set over this process's own
    std::filesystem::path Directory;       // empty: this process's
    std::filesystem::path Output;          // standard output; empty: this process's
    std::filesystem::path Errors;  // standard error; empty: this process's; Output: both there
};

// The child's process id, or -1 with the reason in `error`.
pid_t Spawn(const Command& command, std::string& error);

// The child's status as waitpid reports it, once it has ended.
int Reap(pid_t pid);

}  // namespace Bench
