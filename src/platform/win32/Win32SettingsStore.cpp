#include "platform/win32/Win32SettingsStore.h"

#include "common/win32/Win32WideText.h"

#include <windows.h>

#include <string>
#include <vector>

namespace Platform::Win32 {

namespace {

KestrelMain::Failure WriteFailure(const std::string& what, LSTATUS status) {
    return KestrelMain::Failure{what,
                                Utf8Text(std::wstring(L"HKEY_CURRENT_USER\\") + SETTINGS_SUBKEY),
                                SystemReason(static_cast<DWORD>(status))};
}

}  // namespace

std::string Win32SettingsStore::Read(const std::string& key, const std::string& defaultText) {
    const std::wstring name = WideText(key);
    // Sized by asking first; a value that grows between the two calls is asked for again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD type = 0;
        DWORD bytes = 0;
        LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, SETTINGS_SUBKEY, name.c_str(), RRF_RT_ANY,
                                      &type, nullptr, &bytes);
        // A number, as an administrator's .reg file or a policy may store one: its decimal
        // text, which the next write stores as text.
        if (status == ERROR_SUCCESS && type == REG_DWORD) {
            DWORD number = 0;
            bytes = sizeof number;
            if (RegGetValueW(HKEY_CURRENT_USER, SETTINGS_SUBKEY, name.c_str(), RRF_RT_REG_DWORD,
                             nullptr, &number, &bytes) == ERROR_SUCCESS)
                return std::to_string(number);
            continue;
        }
        // Absent, unreadable or of another type: the default, and the core's rules decide.
        if (status != ERROR_SUCCESS || type != REG_SZ)
            return defaultText;
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        status = RegGetValueW(HKEY_CURRENT_USER, SETTINGS_SUBKEY, name.c_str(), RRF_RT_REG_SZ,
                              nullptr, buffer.data(), &bytes);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            return defaultText;
        // RegGetValueW ends the text with its terminator, counted in bytes.
        std::size_t length = bytes / sizeof(wchar_t);
        while (length > 0 && buffer[length - 1] == L'\0') --length;
        return Utf8Text(std::wstring_view(buffer.data(), length));
    }
    return defaultText;
}

KestrelMain::Status Win32SettingsStore::Write(const std::string& key, const std::string& text) {
    const std::wstring name = WideText(key);
    const std::wstring value = WideText(text);
    HKEY settings = nullptr;
    LSTATUS status =
        RegCreateKeyExW(HKEY_CURRENT_USER, SETTINGS_SUBKEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &settings, nullptr);
    if (status == ERROR_SUCCESS) {
        const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        status = RegSetValueExW(settings, name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.c_str()), bytes);
        RegCloseKey(settings);
    }
    if (status == ERROR_SUCCESS)
        return std::nullopt;
    if (depth_ == 0)
        return WriteFailure("Cannot save the setting " + key, status);
    // Inside a batch the failure waits for the batch's end, as a store with atomic
    // batches would report it.
    if (!batchFailure_)
        batchFailure_ = WriteFailure("Cannot save the settings", status);
    return std::nullopt;
}

void Win32SettingsStore::BeginBatch() {
    if (depth_++ == 0)
        batchFailure_.reset();
}

KestrelMain::Status Win32SettingsStore::EndBatch() {
    if (depth_ == 0 || --depth_ > 0)
        return std::nullopt;
    KestrelMain::Status failure = std::move(batchFailure_);
    batchFailure_.reset();
    return failure;
}

std::string Win32SettingsStore::Location() {
    return Utf8Text(std::wstring(L"HKEY_CURRENT_USER\\") + SETTINGS_SUBKEY);
}

}  // namespace Platform::Win32
