#include "platform/qt/QtServices.h"

#include "platform/Services.h"
#include "platform/qt/QtErrorReport.h"
#include "platform/qt/QtSettingsStore.h"

namespace Platform {

void InstallQtServices() {
    static QtSettingsStore settings;
    static QtErrorReport errors;
    Install(Services{&settings, &errors});
}

}  // namespace Platform
