// sway's IPC, spoken by Kestrel itself on the socket SWAYSOCK names (no swaymsg process):
// a request of a type with a payload, and the compositor's reply, within a deadline.
#pragma once

#include "core/Failure.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace Platform::Wayland {

class WaylandSwayIpc {
  public:
    static constexpr std::uint32_t RUN_COMMAND = 0;
    static constexpr std::uint32_t GET_CONFIG = 9;

    // The socket of the running sway, or empty outside sway.
    static std::string SocketPath();

    explicit WaylandSwayIpc(std::string socketPath) : path_(std::move(socketPath)) {}
    ~WaylandSwayIpc();
    WaylandSwayIpc(const WaylandSwayIpc&) = delete;
    WaylandSwayIpc& operator=(const WaylandSwayIpc&) = delete;

    // The reply's payload (JSON), or why there is none.
    KestrelMain::Result<std::string> Request(std::uint32_t type, const std::string& payload);

    // Runs sway commands; fails with sway's error when one is refused.
    KestrelMain::Status Run(const std::string& commands);

    // The configuration as sway read it from its file.
    KestrelMain::Result<std::string> Config();

  private:
    KestrelMain::Status Connect();

    std::string path_;
    int socket_ = -1;
};

// The text of a JSON string value that follows `"key":` in `json`, unescaped; empty when
// there is none. Enough for sway's replies, whose strings this reads.
std::string JsonString(const std::string& json, const std::string& key);

}  // namespace Platform::Wayland
