// The implementations the program runs with, set once at start-up. The core reaches the
// desktop only through these, so its procedures run as well against others (the tests').
#pragma once

#include "platform/ErrorReport.h"
#include "platform/SettingsStore.h"

namespace Platform {

struct Services {
    SettingsStore* Settings = nullptr;
    ErrorReport* Errors = nullptr;
};

Services& Installed();  // what Install() was given
void Install(const Services& services);

}  // namespace Platform
