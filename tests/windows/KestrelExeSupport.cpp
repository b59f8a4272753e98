#include "KestrelExeSupport.h"

#include "common/win32/Win32WideText.h"
#include "platform/win32/Win32SettingsStore.h"

#include <algorithm>
#include <cstring>
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

RECT PlaceIn(HWND window, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

namespace {

const wchar_t* ClassOf(KestrelMain::ControlKind kind) {
    switch (kind) {
        case KestrelMain::ControlKind::Button:
        case KestrelMain::ControlKind::CheckBox:
            return L"Button";
        case KestrelMain::ControlKind::TextBox:
            return L"Edit";
        default:
            return L"Static";
    }
}

}  // namespace

HWND ControlOf(HWND window, const KestrelMain::ControlLayout& control) {
    const wchar_t* kind = ClassOf(control.Kind);
    for (HWND child = FindWindowExW(window, nullptr, kind, nullptr); child != nullptr;
         child = FindWindowExW(window, child, kind, nullptr)) {
        const RECT rect = PlaceIn(window, child);
        if (rect.left == control.Twips.Left / 15 && rect.top == control.Twips.Top / 15)
            return child;
    }
    return nullptr;
}

void ExpectLaidOutAsTable(HWND window, const KestrelMain::WindowLayout& layout,
                          std::initializer_list<std::string_view> changedAtStart) {
    for (const KestrelMain::ControlLayout& control : layout.Controls) {
        HWND handle = ControlOf(window, control);
        ASSERT_NE(handle, nullptr) << control.Name;
        const RECT rect = PlaceIn(window, handle);
        // A line is one pixel thick.
        const int height = control.Twips.Height == 0 ? 1 : control.Twips.Height / 15;
        EXPECT_EQ(rect.right - rect.left, control.Twips.Width / 15) << control.Name;
        EXPECT_EQ(rect.bottom - rect.top, height) << control.Name;
        if (std::find(changedAtStart.begin(), changedAtStart.end(), control.Name) ==
            changedAtStart.end()) {
            EXPECT_EQ(Text(handle), Platform::Win32::WideText(control.Caption)) << control.Name;
        }
    }
}

std::wstring BoxMessage(HWND box) {
    HWND label = FindWindowExW(box, nullptr, L"Static", nullptr);
    return label != nullptr ? Text(label) : std::wstring();
}

std::wstring SystemMessage(DWORD error) {
    return Platform::Win32::WideText(Platform::Win32::SystemReason(error));
}

void Click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

bool StartUnixProgram(const std::string& unixPath, const std::wstring& arguments) {
    // Wine's own conversion when it offers one; else its default drive for the Unix root.
    using DosName = LPWSTR(CDECL*)(LPCSTR);
    auto toDos = reinterpret_cast<DosName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    std::wstring program;
    if (LPWSTR dos = toDos != nullptr ? toDos(unixPath.c_str()) : nullptr) {
        program = dos;
        HeapFree(GetProcessHeap(), 0, dos);
    } else {
        program = L"Z:" + Platform::Win32::WideText(unixPath);
        std::replace(program.begin(), program.end(), L'/', L'\\');
    }
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return false;
    for (HANDLE handle : {process.hThread, process.hProcess})
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    return true;
}

namespace {

// The layout that debug monitors and OutputDebugString agree on: the writer's process id,
// then its text, NUL-terminated, in the system's code page.
struct DebugBuffer {
    DWORD ProcessId;
    char Text[4096 - sizeof(DWORD)];
};

}  // namespace

DebugOutput::DebugOutput() {
    bufferReady_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    dataReady_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  sizeof(DebugBuffer), L"DBWIN_BUFFER");
    if (mapping_ != nullptr)
        view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, sizeof(DebugBuffer));
    if (bufferReady_ != nullptr && dataReady_ != nullptr && stop_ != nullptr && view_ != nullptr)
        thread_ = std::thread([this] { Listen(); });
}

DebugOutput::~DebugOutput() {
    if (thread_.joinable()) {
        SetEvent(stop_);
        thread_.join();
    }
    if (view_ != nullptr)
        UnmapViewOfFile(view_);
    for (HANDLE handle : {mapping_, bufferReady_, dataReady_, stop_})
        if (handle != nullptr)
            CloseHandle(handle);
}

void DebugOutput::Listen() {
    const HANDLE events[] = {dataReady_, stop_};
    for (;;) {
        SetEvent(bufferReady_);
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0)
            return;
        const auto* buffer = static_cast<const DebugBuffer*>(view_);
        const std::string text(buffer->Text, strnlen(buffer->Text, sizeof buffer->Text));
        std::wstring wide(text.size(), L'\0');
        wide.resize(static_cast<std::size_t>(
            MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                static_cast<int>(wide.size()))));
        const std::lock_guard lock(mutex_);
        lines_.emplace_back(buffer->ProcessId, std::move(wide));
    }
}

std::vector<std::wstring> DebugOutput::From(DWORD processId) const {
    const std::lock_guard lock(mutex_);
    std::vector<std::wstring> lines;
    for (const auto& [process, line] : lines_)
        if (process == processId)
            lines.push_back(line);
    return lines;
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
            const auto windows = Windows(caption);
            found = windows.empty() ? nullptr : windows.front();
            return found != nullptr;
        },
        deadline);
    return found;
}

std::vector<HWND> KestrelExe::Windows(const wchar_t* caption) const {
    std::vector<HWND> found;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, nullptr, caption)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process_.dwProcessId && IsWindowVisible(window))
            found.push_back(window);
    }
    return found;
}

bool KestrelExe::Running() const {
    return process_.hProcess != nullptr &&
           WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
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

std::filesystem::path KestrelExeTestBase::CaptureDir() const {
    const auto entries = Entries(base_.Path());
    return entries.size() == 1 ? entries.front() : std::filesystem::path();
}

void KestrelExeTestBase::TearDown() {
    RegDeleteTreeW(HKEY_CURRENT_USER, PROGRAM_KEY);
    RegSetKeyValueW(HKEY_CURRENT_USER, USER_LOCALE, L"sDecimal", REG_SZ, L".", 4);
}

}  // namespace Win32Test
