#include "platform/qt/QtServices.h"

#include "platform/Services.h"
#include "platform/qt/QtErrorReport.h"
#include "platform/qt/QtSettingsStore.h"
#include "platform/qt/WebPage.h"

namespace Platform {

void InstallQtServices() {
    static QtSettingsStore settings;
    static QtErrorReport errors;
    static QtWebPage web;
    Services services;
    services.Settings = &settings;
    services.Errors = &errors;
    services.Web = &web;
    Install(services);
}

}  // namespace Platform
