// The per-user settings store: application "Kestrel", section "Settings", text values.
// On Linux the file Kestrel.conf under $XDG_CONFIG_HOME (else ~/.config), replaced
// atomically on every write.
#pragma once

#include "platform/Failure.h"

#include <QString>

namespace Platform {

// The stored text of key, or defaultText when the key is absent.
QString ReadSetting(const QString& key, const QString& defaultText);

// Creates or overwrites key and writes the store through at once.
Status WriteSetting(const QString& key, const QString& text);

// Where the store lives, for messages and tests.
QString SettingsFilePath();

}  // namespace Platform
