// The Linux program's services: the QSettings store and the message-box report.
#pragma once

namespace Platform {

// Installs them (platform/Services.h); they live as long as the program.
void InstallQtServices();

}  // namespace Platform
