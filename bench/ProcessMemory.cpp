#include "ProcessMemory.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace Bench {

long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(key);
    while (std::getline(status, line)) {
        if (line.compare(0, length, key) == 0 && line.size() > length && line[length] == ':')
            return std::strtol(line.c_str() + length + 1, nullptr, 10);
    }
    return -1;
}

bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

long ProcessTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), {});
    // The fields after the command's name, which may hold spaces, from the third on.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long total = 0;
    for (int i = 3; fields >> field && i <= 15; ++i) {
        if (i >= 14)
            total += std::stol(field);  // utime, stime
    }
    return total;
}

}  // namespace Bench
