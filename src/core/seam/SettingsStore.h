// The per-user settings store, as the core sees it: text values under plain keys of the
// section "Settings". Each desktop realises it in its own way (platform/qt/ for Linux).
#pragma once

#include "core/Failure.h"

#include <string>

namespace Seam {

class SettingsStore {
  public:
    // The stored text of key, or defaultText when the key is absent.
    virtual std::string Read(const std::string& key, const std::string& defaultText) = 0;

    // Creates or overwrites key. Outside a batch the store is written through at once;
    // inside one the write waits for the batch's end and succeeds here.
    virtual KestrelMain::Status Write(const std::string& key, const std::string& text) = 0;

    // While a batch is open, reads and writes share one view of the store, and the writes
    // reach it together when the batch ends, in one atomic replacement. A batch begun
    // inside another joins it: only the outer end writes, and only its failure counts.
    virtual void BeginBatch() = 0;
    virtual KestrelMain::Status EndBatch() = 0;

    // Where the store lives, for messages: a file's path, say.
    virtual std::string Location() = 0;

  protected:
    ~SettingsStore() = default;
};

// A batch for the length of a scope. Commit ends it and tells how the write went; a batch
// left without Commit still ends, its failure unreported.
class SettingsBatch {
  public:
    explicit SettingsBatch(SettingsStore& store) : store_(store) { store_.BeginBatch(); }
    ~SettingsBatch() {
        if (open_)
            (void)store_.EndBatch();
    }
    SettingsBatch(const SettingsBatch&) = delete;
    SettingsBatch& operator=(const SettingsBatch&) = delete;

    KestrelMain::Status Commit() {
        if (!open_)
            return std::nullopt;
        open_ = false;
        return store_.EndBatch();
    }

  private:
    SettingsStore& store_;
    bool open_ = true;
};

}  // namespace Seam
