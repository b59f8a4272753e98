#include "platform/wayland/WaylandSwayIpc.h"

#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixRead.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace Platform::Wayland {

using KestrelMain::Failure;
using KestrelMain::Result;
using KestrelMain::Status;

namespace {

constexpr char MAGIC[] = "i3-ipc";
constexpr std::size_t MAGIC_SIZE = sizeof MAGIC - 1;
constexpr std::size_t HEADER_SIZE = MAGIC_SIZE + 8;
constexpr auto REPLY_DEADLINE = std::chrono::seconds(5);

Failure IpcFailure(std::string reason) {
    return Failure{"Cannot talk to sway", {}, std::move(reason)};
}

// Reads exactly `size` bytes, waiting at most until `end`.
Status ReadAll(int socket, char* into, std::size_t size,
               std::chrono::steady_clock::time_point end) {
    for (std::size_t got = 0; got < size;) {
        const ssize_t n = Posix::ReadBefore(socket, into + got, size - got, end);
        if (n < 0 && errno == ETIMEDOUT)
            return IpcFailure("sway did not answer");
        if (n <= 0)
            return IpcFailure(n == 0 ? "sway closed the connection" : Posix::ErrnoText(errno));
        got += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

}  // namespace

std::string WaylandSwayIpc::SocketPath() {
    const char* path = std::getenv("SWAYSOCK");
    return path != nullptr ? path : "";
}

WaylandSwayIpc::~WaylandSwayIpc() {
    if (socket_ >= 0)
        close(socket_);
}

Status WaylandSwayIpc::Connect() {
    if (socket_ >= 0)
        return std::nullopt;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.empty() || path_.size() >= sizeof address.sun_path)
        return IpcFailure("no sway socket");
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    socket_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0 ||
        connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int saved = errno;
        if (socket_ >= 0)
            close(socket_);
        socket_ = -1;
        return IpcFailure(path_ + ": " + Posix::ErrnoText(saved));
    }
    return std::nullopt;
}

Result<std::string> WaylandSwayIpc::Request(std::uint32_t type, const std::string& payload) {
    if (auto failed = Connect())
        return *failed;
    std::string message(MAGIC, MAGIC_SIZE);
    const auto length = static_cast<std::uint32_t>(payload.size());
    message.append(reinterpret_cast<const char*>(&length), 4);
    message.append(reinterpret_cast<const char*>(&type), 4);
    message += payload;
    // MSG_NOSIGNAL: a sway that went away is a failure to report, not a SIGPIPE.
    for (std::size_t sent = 0; sent < message.size();) {
        const ssize_t n = send(socket_, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return IpcFailure(Posix::ErrnoText(errno));
        sent += static_cast<std::size_t>(n);
    }
    const auto end = std::chrono::steady_clock::now() + REPLY_DEADLINE;
    char header[HEADER_SIZE];
    if (auto failed = ReadAll(socket_, header, HEADER_SIZE, end))
        return *failed;
    if (std::memcmp(header, MAGIC, MAGIC_SIZE) != 0)
        return IpcFailure("sway's reply is not one of its IPC");
    std::uint32_t replyLength = 0;
    std::memcpy(&replyLength, header + MAGIC_SIZE, 4);
    std::string reply(replyLength, '\0');
    if (auto failed = ReadAll(socket_, reply.data(), reply.size(), end))
        return *failed;
    return reply;
}

Status WaylandSwayIpc::Run(const std::string& commands) {
    auto reply = Request(RUN_COMMAND, commands);
    if (!reply)
        return reply.Error();
    // Each command answers {"success": true} or {"success": false, "error": "..."}.
    if ((*reply).find("\"success\": false") == std::string::npos &&
        (*reply).find("\"success\":false") == std::string::npos)
        return std::nullopt;
    const std::string error = JsonString(*reply, "error");
    return IpcFailure(error.empty() ? "sway refused \u201C" + commands + "\u201D" : error);
}

Result<std::string> WaylandSwayIpc::Config() {
    auto reply = Request(GET_CONFIG, "");
    if (!reply)
        return reply.Error();
    return JsonString(*reply, "config");
}

std::string JsonString(const std::string& json, const std::string& key) {
    std::size_t at = json.find("\"" + key + "\"");
    if (at == std::string::npos)
        return {};
    at = json.find('"', json.find(':', at) + 1);
    if (at == std::string::npos)
        return {};
    std::string text;
    for (std::size_t i = at + 1; i < json.size() && json[i] != '"'; ++i) {
        if (json[i] != '\\' || i + 1 == json.size()) {
            text += json[i];
            continue;
        }
        const char escaped = json[++i];
        switch (escaped) {
            case 'n':
                text += '\n';
                break;
            case 't':
                text += '\t';
                break;
            case 'r':
                text += '\r';
                break;
            case 'b':
                text += '\b';
                break;
            case 'f':
                text += '\f';
                break;
            case 'u': {
                // Only what a configuration's text needs: the character's code, in UTF-8.
                const unsigned long code =
                    i + 4 < json.size() ? std::strtoul(json.substr(i + 1, 4).c_str(), nullptr, 16)
                                        : 0ul;
                i += 4;
                if (code < 0x80) {
                    text += static_cast<char>(code);
                } else if (code < 0x800) {
                    text += static_cast<char>(0xc0 | (code >> 6));
                    text += static_cast<char>(0x80 | (code & 0x3f));
                } else {
                    text += static_cast<char>(0xe0 | (code >> 12));
                    text += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
                    text += static_cast<char>(0x80 | (code & 0x3f));
                }
                break;
            }
            default:
                text += escaped;  // \" \\ \/
        }
    }
    return text;
}

}  // namespace Platform::Wayland
