// The settings store on Linux: QSettings in its native format for application "Kestrel",
// section "Settings", fallbacks off, so the file Kestrel.conf under $XDG_CONFIG_HOME (else
// ~/.config). Every write replaces the file atomically and keeps the lines QSettings
// cannot read.
#pragma once

#include "core/seam/SettingsStore.h"

#include <memory>
#include <string>

class QSettings;

namespace Platform::QtToolkit {

class QtSettingsStore final : public Seam::SettingsStore {
  public:
    QtSettingsStore();
    ~QtSettingsStore();

    std::string Read(const std::string& key, const std::string& defaultText) override;
    KestrelMain::Status Write(const std::string& key, const std::string& text) override;
    void BeginBatch() override;
    KestrelMain::Status EndBatch() override;
    std::string Location() override;

  private:
    std::unique_ptr<QSettings> batch_;  // the one view of the file while a batch is open
    int depth_ = 0;                     // batches begun and not yet ended
};

// The user's Pictures directory when it exists, else the home directory, with a
// trailing "/": the base directory when none is stored.
std::string DefaultBasePath();

}  // namespace Platform::QtToolkit
