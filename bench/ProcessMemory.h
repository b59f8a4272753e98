// A Linux benchmark process's own memory, and a process's processor time, as /proc tells it.
#pragma once

#include <sys/types.h>

namespace Bench {

// The processor time process `pid` has used so far, user and system, in clock ticks.
long ProcessTicks(pid_t pid);

// A value of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when it cannot be read.
long StatusKb(const char* key);

// Lets VmHWM start again from the present VmRSS, so the peak after the captures is theirs.
bool ResetPeak();

}  // namespace Bench
