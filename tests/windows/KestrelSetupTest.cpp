// The setup a user downloads, run under Wine as a user would run it: silently, per user
// or for all users, into its default folder or one named with /D=. The program its
// Start-menu shortcut leads to must start and save a capture; the uninstaller,
// started from the Add/Remove Programs entry, must take away exactly what the setup put
// there and leave the user's captures, settings and files alone.
#include "KestrelExeSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace Win32Test;
namespace fs = std::filesystem;

constexpr wchar_t UNINSTALL_KEY[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrel";
constexpr auto SETUP_DEADLINE = std::chrono::seconds(60);

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// The build folder: this program sits beside kestrel.exe, the packages in dist/ below it.
fs::path BuildFolder() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).parent_path();
}

fs::path SetupPath() {
    return BuildFolder() / L"dist" / (L"kestrel-" KESTREL_VERSION L"-win64-setup.exe");
}

fs::path ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::set<std::wstring> Names(const fs::path& folder) {
    std::set<std::wstring> names;
    for (const fs::path& entry : Entries(folder)) names.insert(entry.filename().wstring());
    return names;
}

// What a command did: whether it and every process it started ended within the deadline,
// how many processes there were, and the first one's exit status.
struct Outcome {
    bool ended = false;
    int processes = 0;
    DWORD status = STILL_ACTIVE;
};

// Runs a command line to its very end in a job, so that the processes it starts are
// waited for too: an NSIS uninstaller copies itself to %TEMP%, starts the copy and returns
// at once. The job kills whatever is left should the deadline pass.
Outcome RunToEnd(std::wstring commandLine, std::chrono::milliseconds deadline = SETUP_DEADLINE) {
    Outcome run;
    Handle job(CreateJobObjectW(nullptr, nullptr));
    Handle port(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
    if (!job || !port)
        return run;
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT link{job.get(), port.get()};
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.get(), JobObjectAssociateCompletionPortInformation, &link,
                                 sizeof link) ||
        !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits))
        return run;

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &process))
        return run;
    Handle first(process.hProcess);
    Handle thread(process.hThread);
    if (!AssignProcessToJobObject(job.get(), first.get())) {
        TerminateProcess(first.get(), 1);
        return run;
    }
    ResumeThread(thread.get());

    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        DWORD message = 0;
        ULONG_PTR key = 0;
        OVERLAPPED* overlapped = nullptr;
        if (left.count() <= 0 || !GetQueuedCompletionStatus(port.get(), &message, &key, &overlapped,
                                                            static_cast<DWORD>(left.count())))
            return run;
        if (message == JOB_OBJECT_MSG_NEW_PROCESS)
            ++run.processes;
        if (message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO)
            break;
    }
    run.ended = true;
    GetExitCodeProcess(first.get(), &run.status);
    return run;
}

// A REG_SZ or REG_DWORD value as text, or "<absent>".
std::wstring Value(HKEY root, const wchar_t* name) {
    DWORD kind = 0;
    DWORD bytes = 0;
    if (RegGetValueW(root, UNINSTALL_KEY, name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &kind, nullptr,
                     &bytes) != ERROR_SUCCESS)
        return L"<absent>";
    std::vector<BYTE> data(bytes);
    RegGetValueW(root, UNINSTALL_KEY, name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &kind, data.data(),
                 &bytes);
    if (kind == REG_DWORD)
        return L"dword:" + std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
    return reinterpret_cast<const wchar_t*>(data.data());
}

bool KeyExists(HKEY root) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, UNINSTALL_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Where a shortcut leads, or empty when it cannot be read.
fs::path ShortcutTarget(const fs::path& link) {
    IShellLinkW* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink))))
        return {};
    wchar_t target[MAX_PATH] = {};
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)))
            shellLink->GetPath(target, MAX_PATH, nullptr, 0);
        file->Release();
    }
    shellLink->Release();
    return target;
}

struct Mode {
    const char* name;
    bool allUsers;
    bool ownFolder;  // /D= a folder of the test's, with a space in its name
    bool userFile;   // a file of the user's in the install folder, which must stay
    bool twice;      // installed over itself, as an update would be
};

const Mode MODES[] = {
    {"PerUser", false, false, false, false},
    {"PerUserIntoItsOwnFolderBesideAUsersFile", false, true, true, false},
    {"PerUserOverItself", false, false, false, true},
    {"AllUsers", true, false, false, false},
};

class KestrelSetupTest : public KestrelExeTestBase, public testing::WithParamInterface<Mode> {
  protected:
    void SetUp() override {
        KestrelExeTestBase::SetUp();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        const Mode& mode = GetParam();
        root_ = mode.allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        folder_ = mode.ownFolder  ? own_.Path() / L"Kestrel Test"
                  : mode.allUsers ? ShellFolder(CSIDL_PROGRAM_FILES) / L"Kestrel"
                                  : ShellFolder(CSIDL_LOCAL_APPDATA) / L"Programs" / L"Kestrel";
        shortcut_ =
            ShellFolder(mode.allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS) / L"Kestrel.lnk";
        RemoveInstall();
    }

    void TearDown() override {
        RemoveInstall();
        CoUninitialize();
        KestrelExeTestBase::TearDown();
    }

    // What an earlier, failed run may have left, of either kind of install: each run
    // starts from a clean machine.
    void RemoveInstall() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
        for (int csidl : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS})
            fs::remove(ShellFolder(csidl) / L"Kestrel.lnk", ignored);
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            RegDeleteTreeW(root, UNINSTALL_KEY);
    }

    std::wstring SetupCommand() const {
        const Mode& mode = GetParam();
        std::wstring command = L"\"" + SetupPath().wstring() + L"\" /S";
        if (mode.allUsers)
            command += L" /AllUsers";
        if (mode.ownFolder)
            command += L" /D=" + folder_.wstring();  // last and unquoted, as NSIS wants it
        return command;
    }

    TemporaryFolder own_;
    HKEY root_ = HKEY_CURRENT_USER;
    fs::path folder_;
    fs::path shortcut_;
};

TEST_P(KestrelSetupTest, InstallsRunsAndUninstallsLeavingCapturesAndSettings) {
    ASSERT_TRUE(fs::exists(SetupPath()))
        << "no setup at " << SetupPath() << ": install nsis and zip (scripts/install-deps.sh)";
    const Mode& mode = GetParam();

    for (int run = 0; run < (mode.twice ? 2 : 1); ++run) {
        const Outcome setup = RunToEnd(SetupCommand());
        ASSERT_TRUE(setup.ended) << "the setup did not end";
        ASSERT_EQ(setup.status, 0u);
    }

    // The files, and the program in them is the shipped one.
    const std::set<std::wstring> installed = {L"kestrel.exe", L"LICENSE.txt", L"README.txt",
                                              L"uninstall.exe"};
    EXPECT_EQ(Names(folder_), installed);
    EXPECT_EQ(Bytes(folder_ / L"kestrel.exe"), Bytes(BuildFolder() / L"package" / L"kestrel.exe"));
    EXPECT_EQ(Bytes(folder_ / L"LICENSE.txt"), Bytes(BuildFolder() / L"package" / L"LICENSE.txt"));
    EXPECT_EQ(ShortcutTarget(shortcut_), folder_ / L"kestrel.exe") << shortcut_;

    // The Add/Remove Programs entry, in the hive of the install's kind.
    const std::wstring dir = folder_.wstring();
    const std::pair<const wchar_t*, std::wstring> entry[] = {
        {L"DisplayName", L"Kestrel"},
        {L"DisplayVersion", KESTREL_VERSION},
        {L"Publisher", L"Ardmoor"},
        {L"DisplayIcon", L"\"" + dir + L"\\kestrel.exe\",0"},
        {L"InstallLocation", dir},
        {L"UninstallString", L"\"" + dir + L"\\uninstall.exe\""},
        {L"QuietUninstallString", L"\"" + dir + L"\\uninstall.exe\" /S"},
        {L"NoModify", L"dword:1"},
        {L"NoRepair", L"dword:1"},
    };
    for (const auto& [name, expected] : entry) EXPECT_EQ(Value(root_, name), expected) << name;
    // In kilobytes, at least the program's own size.
    const std::wstring size = Value(root_, L"EstimatedSize");
    ASSERT_EQ(size.rfind(L"dword:", 0), 0u) << size;
    EXPECT_GE(std::stoul(size.substr(6)), fs::file_size(folder_ / L"kestrel.exe") / 1024);
    EXPECT_FALSE(KeyExists(mode.allUsers ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE))
        << "an entry in the other hive too";

    // The program the shortcut starts saves a capture and quits.
    fs::path capture;
    {
        KestrelExe kestrel(ShortcutTarget(shortcut_));
        ASSERT_TRUE(kestrel.Started());
        HWND window = kestrel.WaitForWindow();
        ASSERT_NE(window, nullptr) << "the installed kestrel.exe showed no window";
        PostMessageW(Child(window, L"Button", L"Make Capture Now"), BM_CLICK, 0, 0);
        HWND total = Child(window, L"Static", L"Total captures saved: 0");
        ASSERT_TRUE(WaitUntil([&] { return Text(total) == L"Total captures saved: 1"; },
                              std::chrono::seconds(30)))
            << Text(total);
        PostMessageW(Child(window, L"Button", L"Quit"), BM_CLICK, 0, 0);
        EXPECT_TRUE(kestrel.EndsWithStatusZero());
        const auto captureDirs = Entries(base_.Path());
        ASSERT_EQ(captureDirs.size(), 1u);
        const auto files = Entries(captureDirs[0]);
        ASSERT_EQ(files.size(), 1u);
        capture = files[0];
        EXPECT_EQ(capture.extension(), L".bmp");
    }
    const std::string captured = Bytes(capture);

    if (mode.userFile)
        std::ofstream(folder_ / L"notes.txt") << "mine\n";

    // Uninstalled as Add/Remove Programs would, quietly.
    const std::wstring quiet = Value(root_, L"QuietUninstallString");
    const Outcome uninstall = RunToEnd(quiet);
    ASSERT_TRUE(uninstall.ended) << "the uninstaller did not end";
    EXPECT_EQ(uninstall.status, 0u);
    EXPECT_GE(uninstall.processes, 2) << "the uninstaller and its copy in %TEMP%";

    if (mode.userFile)
        EXPECT_EQ(Names(folder_), std::set<std::wstring>{L"notes.txt"});
    else
        EXPECT_FALSE(fs::exists(folder_)) << folder_;
    EXPECT_FALSE(fs::exists(shortcut_)) << shortcut_;
    EXPECT_FALSE(KeyExists(root_));

    EXPECT_EQ(Bytes(capture), captured) << "the capture was touched";
    EXPECT_EQ(StoredText(L"BasePath"), basePath_) << "the settings were removed";
    EXPECT_EQ(StoredText(L"OutputWidth"), L"800");
}

INSTANTIATE_TEST_SUITE_P(Modes, KestrelSetupTest, testing::ValuesIn(MODES),
                         [](const testing::TestParamInfo<Mode>& mode) { return mode.param.name; });

// The setup names itself and its version in its file properties.
TEST(KestrelSetupFile, CarriesTheProductsNameAndVersion) {
    const std::wstring setup = SetupPath().wstring();
    DWORD ignored = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(setup.c_str(), &ignored));
    ASSERT_FALSE(info.empty()) << "no version information in " << SetupPath();
    ASSERT_TRUE(
        GetFileVersionInfoW(setup.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const std::wstring numbers = std::to_wstring(HIWORD(fixed->dwProductVersionMS)) + L"." +
                                 std::to_wstring(LOWORD(fixed->dwProductVersionMS)) + L"." +
                                 std::to_wstring(HIWORD(fixed->dwProductVersionLS));
    EXPECT_EQ(numbers, KESTREL_VERSION);

    const std::pair<const wchar_t*, std::wstring> strings[] = {
        {L"ProductName", L"Kestrel"},
        {L"ProductVersion", KESTREL_VERSION},
        {L"CompanyName", L"Ardmoor"},
    };
    for (const auto& [name, expected] : strings) {
        wchar_t* text = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        ASSERT_TRUE(
            VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &length))
            << name;
        EXPECT_EQ(std::wstring(text), expected) << name;
    }
}

}  // namespace
