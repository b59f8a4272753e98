#include "KestrelExeSupport.h"

#include "platform/win32/RegistrySettingsStore.h"

#include <system_error>

namespace Win32Test {

using Platform::Win32::SETTINGS_SUBKEY;

std::wstring Text(HWND window) {
    wchar_t buffer[1024] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
    return buffer;
}

std::wstring StoredText(const wchar_t* name) {
    wchar_t buffer[512] = {};
    DWORD bytes = sizeof buffer;
    DWORD kind = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, SETTINGS_SUBKEY, name, RRF_RT_ANY, &kind, buffer, &bytes) !=
            ERROR_SUCCESS ||
        kind != REG_SZ)
        return L"<absent or not REG_SZ>";
    return buffer;
}

void Store(const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SETTINGS_SUBKEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

std::vector<std::filesystem::path> Entries(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> entries;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        entries.push_back(entry.path());
    return entries;
}

std::int32_t LittleEndian32(const std::array<unsigned char, 26>& bytes, std::size_t at) {
    return static_cast<std::int32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                     static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

void Press(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto key = keys.end(); key != keys.begin();) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *--key;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

HWND Child(HWND parent, const wchar_t* kind, const wchar_t* text) {
    return FindWindowExW(parent, nullptr, kind, text);
}

KestrelExe::KestrelExe(const std::filesystem::path& program) {
    std::filesystem::path path = program;
    if (path.empty()) {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        path = std::filesystem::path(self).parent_path() / L"kestrel.exe";
    }
    std::wstring commandLine = L"\"" + path.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &process_)) {
        CloseHandle(process_.hThread);
        process_.hThread = nullptr;
    } else {
        process_ = {};
    }
}

KestrelExe::~KestrelExe() {
    if (process_.hProcess != nullptr) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 10000);
        }
        CloseHandle(process_.hProcess);
    }
}

HWND KestrelExe::WaitForWindow(const wchar_t* caption, std::chrono::milliseconds deadline) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            HWND window = nullptr;
            while ((window = FindWindowExW(nullptr, window, nullptr, caption)) != nullptr) {
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == process_.dwProcessId && IsWindowVisible(window)) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        deadline);
    return found;
}

HWND KestrelExe::Focused() const {
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    return GetGUIThreadInfo(process_.dwThreadId, &thread) ? thread.hwndFocus : nullptr;
}

bool KestrelExe::EndsWithStatusZero() const {
    if (WaitForSingleObject(process_.hProcess, 20000) != WAIT_OBJECT_0)
        return false;
    DWORD status = 1;
    return GetExitCodeProcess(process_.hProcess, &status) && status == 0;
}

void KestrelExeTestBase::SetUp() {
    RegDeleteTreeW(HKEY_CURRENT_USER, PROGRAM_KEY);
    basePath_ = base_.Path().wstring() + L"\\";
    Store(L"BasePath", basePath_);
}

void KestrelExeTestBase::TearDown() {
    RegDeleteTreeW(HKEY_CURRENT_USER, PROGRAM_KEY);
}

}  // namespace Win32Test
