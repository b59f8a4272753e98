// The per-user settings store: application "Kestrel", section "Settings", text values.
// On Linux the file Kestrel.conf under $XDG_CONFIG_HOME (else ~/.config), replaced
// atomically on every write.
#pragma once

#include "platform/qt/Failure.h"

#include <QString>

namespace Platform {

// The stored text of key, or defaultText when the key is absent.
QString ReadSetting(const QString& key, const QString& defaultText);

// Creates or overwrites key and writes the store through at once.
Status WriteSetting(const QString& key, const QString& text);

// While a batch is open, reads and writes share one view of the store and the writes reach
// the file together, in one atomic replacement, when the batch closes. Start-up writes its
// six settings this way: one file write instead of six. A batch opened inside another one
// joins it: the outer batch alone writes the file.
class SettingsBatch {
  public:
    SettingsBatch();
    ~SettingsBatch();
    SettingsBatch(const SettingsBatch&) = delete;
    SettingsBatch& operator=(const SettingsBatch&) = delete;

    // Writes what the batch holds; a failure names the file and the reason. A joined batch
    // leaves the writing to the outer one.
    Status Commit();

  private:
    bool owner_ = false;
};

// Where the store lives, for messages and tests.
QString SettingsFilePath();

}  // namespace Platform
