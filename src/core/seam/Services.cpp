#include "core/seam/Services.h"

namespace Platform {

namespace {
Services installed;
}

Services& Installed() {
    return installed;
}

void Install(const Services& services) {
    installed = services;
}

}  // namespace Platform
