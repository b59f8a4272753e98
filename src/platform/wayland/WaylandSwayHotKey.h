// Ctrl+F on sway, where no program may grab a key: for its run Kestrel binds Ctrl+F in sway
// itself, through sway's IPC, to the session-bus call that makes a capture (the
// application's "capture" action). --no-repeat makes a held key one press. The binding goes
// again when Kestrel ends; a Ctrl+F binding of the user's own is left alone, and the key
// counts as taken.
#pragma once

#include "core/seam/HotKey.h"
#include "platform/wayland/WaylandSwayIpc.h"

#include <optional>
#include <string>

namespace Platform::Wayland {

// What sway runs on Ctrl+F: the capture action, by its one-line session-bus call.
std::string CaptureActionCommand();

class WaylandSwayHotKey final : public Seam::HotKey {
  public:
    // whyNoAction: why this program does not offer the capture action (another Kestrel has
    // it, say), when it does not; Ctrl+F is then not bound.
    WaylandSwayHotKey(std::string socketPath, std::optional<std::string> whyNoAction)
        : ipc_(std::move(socketPath)), whyNoAction_(std::move(whyNoAction)) {}

    // Answers at once: bound, or taken by a binding of the user's, or sway's refusal.
    KestrelMain::Status Register(Seam::HotKeyAnswers& later) override;
    // The presses run the capture action themselves; none waits here.
    bool PressPending() override { return false; }
    bool TakePress() override { return false; }
    void Unregister() override;

  private:
    WaylandSwayIpc ipc_;
    std::optional<std::string> whyNoAction_;
    bool bound_ = false;
};

// Whether a sway configuration binds Ctrl+F (with bindsym, in any spelling of its keys).
bool ConfigBindsCtrlF(const std::string& config);

}  // namespace Platform::Wayland
