#pragma once

#include <QString>

namespace Platform {

// Hands the address to the desktop's URL handler and returns without waiting for it.
void OpenWebPage(const QString& address);

}  // namespace Platform
