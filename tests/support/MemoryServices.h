// Services held in memory, for running the core's procedures without a desktop: a settings
// store that records what reaches it, and an error report that keeps what it is given.
// Plain C++, so the tests that use them build for Windows as well.
#pragma once

#include "core/seam/Services.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace TestSupport {

class MemorySettingsStore final : public Seam::SettingsStore {
  public:
    std::map<std::string, std::string> Values;  // what the store holds, as committed
    // Each write that reached the store, in order, as "key=text"; a batch's writes appear
    // when it ends. Batches counts the writes of whole batches (one per outer batch).
    std::vector<std::string> Writes;
    int Batches = 0;
    bool FailWrites = false;  // every write through, and every batch's end, fails

    std::string Read(const std::string& key, const std::string& defaultText) override {
        if (depth_ > 0) {
            if (auto pending = pending_.find(key); pending != pending_.end())
                return pending->second;
        }
        const auto value = Values.find(key);
        return value == Values.end() ? defaultText : value->second;
    }

    KestrelMain::Status Write(const std::string& key, const std::string& text) override {
        if (depth_ > 0) {
            pending_[key] = text;
            pendingOrder_.push_back(key + "=" + text);
            return std::nullopt;
        }
        if (FailWrites)
            return Refusal("Cannot save the setting " + key);
        Values[key] = text;
        Writes.push_back(key + "=" + text);
        return std::nullopt;
    }

    void BeginBatch() override { ++depth_; }

    KestrelMain::Status EndBatch() override {
        if (depth_ == 0 || --depth_ > 0)
            return std::nullopt;
        auto pending = std::exchange(pending_, {});
        auto order = std::exchange(pendingOrder_, {});
        if (FailWrites)
            return Refusal("Cannot save the settings");
        ++Batches;
        for (auto& [key, text] : pending) Values[key] = text;
        Writes.insert(Writes.end(), order.begin(), order.end());
        return std::nullopt;
    }

    std::string Location() override { return LOCATION; }

    static constexpr char LOCATION[] = "memory:Kestrel";

  private:
    static KestrelMain::Failure Refusal(std::string what) {
        return KestrelMain::Failure{std::move(what), LOCATION, "the store refuses writes"};
    }

    int depth_ = 0;
    std::map<std::string, std::string> pending_;
    std::vector<std::string> pendingOrder_;
};

class RecordingErrorReport final : public Seam::ErrorReport {
  public:
    std::vector<KestrelMain::Failure> Reports;
    std::vector<std::string> Notes;

    void Report(const KestrelMain::Failure& failure) override { Reports.push_back(failure); }
    void Note(const std::string& line) override { Notes.push_back(line); }
};

// Installs a fresh store and report for one test, with the rest of the seam as given (none
// by default), and puts back what was installed before.
class MemoryServices {
  public:
    MemorySettingsStore Settings;
    RecordingErrorReport Errors;

    explicit MemoryServices(Seam::Services desktop = {}) : before_(Seam::Installed()) {
        desktop.Settings = &Settings;
        desktop.Errors = &Errors;
        Seam::Install(desktop);
    }
    ~MemoryServices() { Seam::Install(before_); }
    MemoryServices(const MemoryServices&) = delete;
    MemoryServices& operator=(const MemoryServices&) = delete;

  private:
    Seam::Services before_;
};

}  // namespace TestSupport
