// The settings store on Windows: REG_SZ values under
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\Kestrel\Settings, where the
// system's per-user settings store of earlier programs of this name kept them, so their
// values are read as they are. A REG_DWORD value reads as its decimal text; every write is
// REG_SZ.
//
// The registry has no write of several values at once, so a batch writes through: each
// value is set atomically by one RegSetValueExW, so a crash mid-batch leaves every value
// either old or new and each one readable, never a damaged store. The first failure inside
// a batch is kept and returned by its end, as the store's contract says.
#pragma once

#include "core/seam/SettingsStore.h"

#include <optional>
#include <string>

namespace Platform::Win32 {

// The key's path below HKEY_CURRENT_USER.
inline constexpr wchar_t SETTINGS_SUBKEY[] =
    L"Software\\VB and VBA Program Settings\\Kestrel\\Settings";

class Win32SettingsStore final : public Seam::SettingsStore {
  public:
    std::string Read(const std::string& key, const std::string& defaultText) override;
    KestrelMain::Status Write(const std::string& key, const std::string& text) override;
    void BeginBatch() override;
    KestrelMain::Status EndBatch() override;
    std::string Location() override;

  private:
    int depth_ = 0;                     // batches begun and not yet ended
    KestrelMain::Status batchFailure_;  // the first failed write of the open batch
};

}  // namespace Platform::Win32
