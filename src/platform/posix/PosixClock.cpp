#include "platform/posix/PosixClock.h"

#include <time.h>

namespace Platform::Posix {

KestrelMain::LocalDateTime PosixClock::ReadLocalTime() {
    const time_t now = time(nullptr);
    struct tm local = {};
    localtime_r(&now, &local);
    return KestrelMain::LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                      local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace Platform::Posix
