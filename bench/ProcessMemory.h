// A Linux benchmark process's own memory, as /proc tells it.
#pragma once

namespace Bench {

// A value of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when it cannot be read.
long StatusKb(const char* key);

// Lets VmHWM start again from the present VmRSS, so the peak after the captures is theirs.
bool ResetPeak();

}  // namespace Bench
