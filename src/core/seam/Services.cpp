#include "core/seam/Services.h"

namespace Seam {

namespace {
Services installed;
}

Services& Installed() {
    return installed;
}

void Install(const Services& services) {
    installed = services;
}

}  // namespace Seam
