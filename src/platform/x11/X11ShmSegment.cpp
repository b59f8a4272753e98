#include "platform/x11/X11ShmSegment.h"

#include "core/FailureTexts.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixMemoryFile.h"
#include "platform/x11/X11Connection.h"

#include <sys/mman.h>
#include <sys/shm.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace Platform::X11 {

using KestrelMain::Failure;
using KestrelMain::Status;
using Posix::ErrnoText;

namespace {

Failure ReadFailure(std::string reason) {
    return Failure{KestrelMain::CANNOT_READ_SCREEN, {}, std::move(reason)};
}

Failure LostConnection() {
    return X11Connection::BrokenFailure(KestrelMain::CANNOT_READ_SCREEN);
}

// Shared memory is only worth trying when the server runs on this machine: over TCP a
// passed descriptor would break the connection, and a System V segment id would name
// some other segment or none.
bool LocalConnection(xcb_connection_t* connection) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(xcb_get_file_descriptor(connection), reinterpret_cast<sockaddr*>(&address),
                    &length) != 0) {
        return false;
    }
    return address.ss_family == AF_UNIX;
}

}  // namespace

X11ShmSegment::~X11ShmSegment() {
    Destroy();
}

void X11ShmSegment::GiveUp() {
    Destroy();
    probe_ = Probe::Unusable;
}

bool X11ShmSegment::Usable() {
    if (probe_ != Probe::Unprobed)
        return probe_ == Probe::Usable;
    probe_ = Probe::Unusable;
    if (!LocalConnection(connection_))
        return false;
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(connection_, &xcb_shm_id);
    if (shm == nullptr || shm->present == 0)
        return false;
    xcb_shm_query_version_reply_t* version =
        xcb_shm_query_version_reply(connection_, xcb_shm_query_version(connection_), nullptr);
    if (version == nullptr)
        return false;
    passDescriptor_ =
        version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 2);
    std::free(version);
    probe_ = Probe::Usable;
    return true;
}

Status X11ShmSegment::Create(std::size_t size) {
    Destroy();
    const xcb_shm_seg_t id = xcb_generate_id(connection_);
    if (id == static_cast<xcb_shm_seg_t>(-1))
        return LostConnection();

    Posix::MemoryFile file;
    if (passDescriptor_ && Posix::MakeMemoryFile("kestrel-grab", size, true, file) == 0) {
        // xcb closes the descriptor once it is sent. Refused, the System V segment below
        // does the same work, as it does past a file-size limit.
        xcb_generic_error_t* error =
            xcb_request_check(connection_, xcb_shm_attach_fd_checked(connection_, id, file.Fd, 0));
        if (error == nullptr) {
            id_ = id;
            memory_ = file.Memory;
            size_ = size;
            systemV_ = false;
            return std::nullopt;
        }
        std::free(error);
        munmap(file.Memory, size);
    }

    const int shmId = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (shmId < 0)
        return ReadFailure("no shared memory: " + ErrnoText(errno));
    void* memory = shmat(shmId, nullptr, 0);
    if (memory == reinterpret_cast<void*>(-1)) {
        const int saved = errno;
        shmctl(shmId, IPC_RMID, nullptr);
        return ReadFailure("no shared memory: " + ErrnoText(saved));
    }
    xcb_generic_error_t* error = xcb_request_check(
        connection_, xcb_shm_attach_checked(connection_, id, static_cast<std::uint32_t>(shmId), 0));
    // Both sides are attached (or the server refused): the segment goes when they detach.
    shmctl(shmId, IPC_RMID, nullptr);
    if (error != nullptr) {
        std::string reason = X11Connection::ErrorText(error);
        std::free(error);
        shmdt(memory);
        return ReadFailure(std::move(reason));
    }
    id_ = id;
    memory_ = static_cast<std::uint8_t*>(memory);
    size_ = size;
    systemV_ = true;
    return std::nullopt;
}

void X11ShmSegment::Destroy() {
    if (memory_ == nullptr)
        return;
    if (xcb_connection_has_error(connection_) == 0) {
        xcb_discard_reply(connection_, xcb_shm_detach_checked(connection_, id_).sequence);
        xcb_flush(connection_);
    }
    if (systemV_) {
        shmdt(memory_);
    } else {
        munmap(memory_, size_);
    }
    memory_ = nullptr;
    size_ = 0;
    id_ = 0;
}

}  // namespace Platform::X11
