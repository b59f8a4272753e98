// Ctrl+F where it cannot be had (a Wayland compositor other than sway lets no program bind
// a key; a session without a screen backend has none): registering says why, and what to do
// instead; nothing is ever pressed.
#pragma once

#include "core/FailureTexts.h"
#include "core/seam/HotKey.h"

#include <string>

namespace App {

class NoHotKey final : public Seam::HotKey {
  public:
    explicit NoHotKey(std::string why) : why_(std::move(why)) {}

    KestrelMain::Status Register(Seam::HotKeyAnswers&) override {
        return KestrelMain::Failure{KestrelMain::CANNOT_REGISTER_HOT_KEY, {}, why_};
    }
    bool PressPending() override { return false; }
    bool TakePress() override { return false; }
    void Unregister() override {}

  private:
    std::string why_;
};

}  // namespace App
