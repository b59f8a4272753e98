#include "platform/win32/Win32FileSystem.h"

#include "common/win32/Win32WideText.h"
#include "core/PathText.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace Platform::Win32 {

namespace {

KestrelMain::Failure SaveFailure(const std::filesystem::path& path, DWORD error) {
    return KestrelMain::Failure{"Cannot save the capture", KestrelMain::PathText(path),
                                SystemReason(error)};
}

// ERROR_SUCCESS when every byte is written.
DWORD WriteAll(HANDLE file, Seam::FileParts parts) {
    for (const auto& part : parts) {
        const std::uint8_t* next = part.data();
        std::size_t left = part.size();
        while (left > 0) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
            DWORD written = 0;
            if (!WriteFile(file, next, chunk, &written, nullptr))
                return GetLastError();
            if (written == 0)
                return ERROR_WRITE_FAULT;
            next += written;
            left -= written;
        }
    }
    return ERROR_SUCCESS;
}

// A new hidden file beside the target, its handle in `file`; ERROR_SUCCESS or the reason.
DWORD CreateTemporary(const std::filesystem::path& target, std::wstring& name, HANDLE& file) {
    static unsigned serial = 0;
    const std::wstring directory = target.parent_path().native();
    const std::wstring base = target.filename().native();
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = directory;
        if (!name.empty() && name.back() != L'\\' && name.back() != L'/')
            name += L'\\';
        name += L"~" + base + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(serial++) + L".tmp";
        file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            return ERROR_SUCCESS;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return error;
    }
    return ERROR_FILE_EXISTS;
}

// The core joins a capture's name to its directory with "/"; the system takes either
// separator, but the path named in a report is written the system's way.
std::filesystem::path SystemPath(std::filesystem::path path) {
    return path.make_preferred();
}

}  // namespace

KestrelMain::Status Win32FileSystem::CreateOneDirectory(const std::filesystem::path& path) {
    if (path.empty() || !CreateDirectoryW(path.c_str(), nullptr)) {
        const DWORD error = path.empty() ? ERROR_PATH_NOT_FOUND : GetLastError();
        return KestrelMain::Failure{"Cannot create the capture directory",
                                    KestrelMain::PathText(path), SystemReason(error)};
    }
    return std::nullopt;
}

bool Win32FileSystem::FolderExists(const std::filesystem::path& path) {
    if (path.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

KestrelMain::Status Win32FileSystem::SaveNewFile(const std::filesystem::path& asked,
                                                 Seam::FileParts parts) {
    const std::filesystem::path path = SystemPath(asked);
    if (!path.has_filename())
        return SaveFailure(path, ERROR_INVALID_NAME);
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = CreateTemporary(path, temporary, file);
    if (error != ERROR_SUCCESS)
        return SaveFailure(path, error);
    error = WriteAll(file, parts);
    // The bytes reach the disk before the name does, so a crash never leaves a named,
    // truncated capture.
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file))
        error = GetLastError();
    if (!CloseHandle(file) && error == ERROR_SUCCESS)
        error = GetLastError();
    if (error == ERROR_SUCCESS) {
        // No MOVEFILE_REPLACE_EXISTING: a file of that name makes the move fail. Written
        // through, so the name too is on the disk when the capture is reported saved.
        if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
            // The final file is an ordinary one; a failure here loses nothing.
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            return std::nullopt;
        }
        error = GetLastError();
    }
    DeleteFileW(temporary.c_str());
    return SaveFailure(path, error);
}

}  // namespace Platform::Win32
