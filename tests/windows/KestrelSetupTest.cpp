// The setup a user downloads, run under Wine as a user would run it: shown, clicked through
// to its last page, which starts Kestrel; and silently, per user or for all users, into
// its default folder or one named with /D=, once or over itself. The program its
// Start-menu shortcut leads to must start and save a capture; the uninstaller, started from
// the Add/Remove Programs entry, must take away exactly what the setup put there and leave
// the user's captures, settings and files alone.
#include "KestrelExeSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>
#include <shobjidl.h>

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

// A command line run in a job of its own, so that the processes it starts are followed
// too: an NSIS uninstaller copies itself to %TEMP%, starts the copy and returns at once,
// and the setup's last page starts the program. Whatever still runs when the object goes
// is ended with the job.
class Job {
  public:
    explicit Job(std::wstring commandLine) {
        job_.reset(CreateJobObjectW(nullptr, nullptr));
        port_.reset(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
        if (!job_ || !port_)
            return;
        JOBOBJECT_ASSOCIATE_COMPLETION_PORT link{job_.get(), port_.get()};
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(job_.get(), JobObjectAssociateCompletionPortInformation, &link,
                                     sizeof link) ||
            !SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits,
                                     sizeof limits))
            return;
        // Started suspended, so that it is in the job before it can start anything.
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                            nullptr, nullptr, &startup, &process))
            return;
        Handle first(process.hProcess);
        Handle thread(process.hThread);
        if (!AssignProcessToJobObject(job_.get(), first.get())) {
            TerminateProcess(first.get(), 1);
            return;
        }
        ResumeThread(thread.get());
        first_ = std::move(first);
    }

    bool Started() const { return first_ != nullptr; }

    // Whether every process in it ended within the deadline.
    bool Ends(std::chrono::milliseconds deadline = SETUP_DEADLINE) {
        if (!Started())
            return false;
        const auto end = std::chrono::steady_clock::now() + deadline;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            DWORD message = 0;
            ULONG_PTR key = 0;
            OVERLAPPED* overlapped = nullptr;
            if (left.count() <= 0 ||
                !GetQueuedCompletionStatus(port_.get(), &message, &key, &overlapped,
                                           static_cast<DWORD>(left.count())))
                return false;
            if (message == JOB_OBJECT_MSG_NEW_PROCESS)
                ++processes_;
            if (message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO)
                return true;
        }
    }

    // How many processes ran in it, counted by Ends.
    int Processes() const { return processes_; }

    // The exit status of the process it started with.
    DWORD Status() const {
        DWORD status = STILL_ACTIVE;
        if (first_)
            GetExitCodeProcess(first_.get(), &status);
        return status;
    }

  private:
    Handle job_;
    Handle port_;
    Handle first_;
    int processes_ = 0;
};

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

// A visible top-level window whose caption starts with `caption`, whichever process shows
// it, or null. A wizard adds its page's title to its caption.
HWND WaitForTopLevel(const wchar_t* caption) {
    struct Search {
        std::wstring caption;
        HWND found;
    } search{caption, nullptr};
    WaitUntil(
        [&] {
            EnumWindows(
                [](HWND window, LPARAM data) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(data);
                    if (!IsWindowVisible(window) || Text(window).rfind(s->caption, 0) != 0)
                        return TRUE;
                    s->found = window;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        SETUP_DEADLINE);
    return search.found;
}

// The captions of the visible top-level windows, for a message when one is missing.
std::wstring VisibleCaptions() {
    std::wstring captions;
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            if (IsWindowVisible(window))
                *reinterpret_cast<std::wstring*>(data) += L" \"" + Text(window) + L"\"";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&captions));
    return captions;
}

// The first control of that class anywhere below the window, or null.
HWND Descendant(HWND window, const wchar_t* kind) {
    struct Search {
        const wchar_t* kind;
        HWND found;
    } search{kind, nullptr};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t name[64] = {};
            GetClassNameW(child, name, std::size(name));
            if (lstrcmpiW(name, s->kind) != 0)
                return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Clicks a wizard's main button (Install, Finish, Uninstall, Close: control 1) once it
// reads `text` and can be clicked; false when it never did.
bool ClickWhenItReads(HWND wizard, const wchar_t* text) {
    HWND button = GetDlgItem(wizard, IDOK);
    if (!WaitUntil([&] { return Text(button) == text && IsWindowEnabled(button); }, SETUP_DEADLINE))
        return false;
    PostMessageW(button, BM_CLICK, 0, 0);
    return true;
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

// A clean machine for one kind of install, and what every kind is checked for.
class SetupTestBase : public KestrelExeTestBase {
  protected:
    void Prepare(const Mode& mode) {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        mode_ = mode;
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

    // The files, the shortcut and the Add/Remove Programs entry, in the hive of the
    // install's kind only.
    void ExpectInstalled() const {
        const std::set<std::wstring> installed = {L"kestrel.exe", L"LICENSE.txt", L"README.txt",
                                                  L"uninstall.exe"};
        EXPECT_EQ(Names(folder_), installed);
        const fs::path staged = BuildFolder() / L"package";
        for (const wchar_t* name : {L"kestrel.exe", L"LICENSE.txt", L"README.txt"})
            EXPECT_TRUE(Bytes(folder_ / name) == Bytes(staged / name))
                << fs::path(name) << " is not the one shipped";
        EXPECT_EQ(ShortcutTarget(shortcut_), folder_ / L"kestrel.exe") << shortcut_;

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
        EXPECT_FALSE(KeyExists(mode_.allUsers ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE))
            << "an entry in the other hive too";
    }

    // Makes one capture with the program's main window and quits it; the capture's file.
    fs::path CaptureAndQuit(HWND window) const {
        PostMessageW(Child(window, L"Button", L"Make Capture Now"), BM_CLICK, 0, 0);
        HWND total = Child(window, L"Static", L"Total captures saved: 0");
        EXPECT_TRUE(WaitUntil([&] { return Text(total) == L"Total captures saved: 1"; },
                              std::chrono::seconds(30)))
            << Text(total);
        PostMessageW(Child(window, L"Button", L"Quit"), BM_CLICK, 0, 0);
        const auto captureDirs = Entries(base_.Path());
        if (captureDirs.size() != 1 || Entries(captureDirs[0]).size() != 1)
            return {};
        return Entries(captureDirs[0])[0];
    }

    // Nothing of the install is left but the user's: the captures, the settings and any
    // file of theirs in the folder, which then stays.
    void ExpectUninstalled(const fs::path& capture, const std::string& captured) const {
        if (mode_.userFile)
            EXPECT_EQ(Names(folder_), std::set<std::wstring>{L"notes.txt"});
        else
            EXPECT_FALSE(fs::exists(folder_)) << folder_;
        EXPECT_FALSE(fs::exists(shortcut_)) << shortcut_;
        EXPECT_FALSE(KeyExists(root_));

        EXPECT_TRUE(Bytes(capture) == captured) << "the capture was touched";
        EXPECT_EQ(StoredText(L"BasePath"), basePath_) << "the settings were removed";
        EXPECT_EQ(StoredText(L"OutputWidth"), L"800");
    }

    ScratchFolder own_;
    Mode mode_{};
    HKEY root_ = HKEY_CURRENT_USER;
    fs::path folder_;
    fs::path shortcut_;
};

class KestrelSetupTest : public SetupTestBase, public testing::WithParamInterface<Mode> {
  protected:
    void SetUp() override {
        SetupTestBase::SetUp();
        Prepare(GetParam());
    }

    std::wstring SetupCommand() const {
        std::wstring command = L"\"" + SetupPath().wstring() + L"\" /S";
        if (mode_.allUsers)
            command += L" /AllUsers";
        if (mode_.ownFolder)
            command += L" /D=" + folder_.wstring();  // last and unquoted, as NSIS wants it
        return command;
    }
};

TEST_P(KestrelSetupTest, InstallsRunsAndUninstallsLeavingCapturesAndSettings) {
    ASSERT_TRUE(fs::exists(SetupPath()))
        << "no setup at " << SetupPath() << ": install nsis and zip (scripts/install-deps.sh)";

    for (int run = 0; run < (mode_.twice ? 2 : 1); ++run) {
        Job setup(SetupCommand());
        ASSERT_TRUE(setup.Ends()) << "the setup did not end";
        ASSERT_EQ(setup.Status(), 0u);
    }
    ExpectInstalled();

    // The program the shortcut starts saves a capture and quits.
    fs::path capture;
    {
        KestrelExe kestrel(ShortcutTarget(shortcut_));
        ASSERT_TRUE(kestrel.Started());
        HWND window = kestrel.WaitForWindow();
        ASSERT_NE(window, nullptr) << "the installed kestrel.exe showed no window";
        capture = CaptureAndQuit(window);
        EXPECT_TRUE(kestrel.EndsWithStatusZero());
    }
    ASSERT_EQ(capture.extension(), L".bmp") << capture;
    const std::string captured = Bytes(capture);

    if (mode_.userFile)
        std::ofstream(folder_ / L"notes.txt") << "mine\n";

    // Uninstalled as Add/Remove Programs would, quietly.
    Job uninstall(Value(root_, L"QuietUninstallString"));
    ASSERT_TRUE(uninstall.Ends()) << "the uninstaller did not end";
    EXPECT_EQ(uninstall.Status(), 0u);
    EXPECT_GE(uninstall.Processes(), 2) << "the uninstaller and its copy in %TEMP%";
    ExpectUninstalled(capture, captured);
}

INSTANTIATE_TEST_SUITE_P(Modes, KestrelSetupTest, testing::ValuesIn(MODES),
                         [](const testing::TestParamInfo<Mode>& mode) { return mode.param.name; });

// The setup as most users meet it: shown, per user, Install and then Finish, whose ticked
// "Run Kestrel" starts the program; and the uninstaller shown too.
class KestrelSetupShownTest : public SetupTestBase {
  protected:
    void SetUp() override {
        SetupTestBase::SetUp();
        Prepare({"Shown", false, false, false, false});
    }
};

TEST_F(KestrelSetupShownTest, InstallsPerUserStartsKestrelFromItsLastPageAndUninstalls) {
    ASSERT_TRUE(fs::exists(SetupPath())) << "no setup at " << SetupPath();
    Job setup(L"\"" + SetupPath().wstring() + L"\"");
    ASSERT_TRUE(setup.Started());
    HWND wizard = WaitForTopLevel(L"Kestrel Setup");
    ASSERT_NE(wizard, nullptr) << "no window \"Kestrel Setup\" among" << VisibleCaptions();
    EXPECT_TRUE(WaitUntil([&] { return Text(Descendant(wizard, L"Edit")) == folder_.wstring(); }))
        << "the folder offered is " << Text(Descendant(wizard, L"Edit"));
    ASSERT_TRUE(ClickWhenItReads(wizard, L"&Install")) << Text(GetDlgItem(wizard, IDOK));
    ASSERT_TRUE(ClickWhenItReads(wizard, L"&Finish")) << Text(GetDlgItem(wizard, IDOK));

    HWND window = WaitForTopLevel(MAIN_CAPTION);
    ASSERT_NE(window, nullptr) << "the last page did not start Kestrel; windows:"
                               << VisibleCaptions();
    const fs::path capture = CaptureAndQuit(window);
    ASSERT_TRUE(setup.Ends()) << "the setup, or the program it started, did not end";
    EXPECT_EQ(setup.Status(), 0u);
    ASSERT_EQ(capture.extension(), L".bmp") << capture;
    const std::string captured = Bytes(capture);
    ExpectInstalled();

    Job uninstall(Value(root_, L"UninstallString"));
    HWND unwizard = WaitForTopLevel(L"Kestrel Uninstall");
    ASSERT_NE(unwizard, nullptr) << "no window \"Kestrel Uninstall\" among" << VisibleCaptions();
    ASSERT_TRUE(ClickWhenItReads(unwizard, L"&Uninstall")) << Text(GetDlgItem(unwizard, IDOK));
    ASSERT_TRUE(ClickWhenItReads(unwizard, L"&Close")) << Text(GetDlgItem(unwizard, IDOK));
    ASSERT_TRUE(uninstall.Ends()) << "the uninstaller did not end";
    ExpectUninstalled(capture, captured);
}

// While Kestrel runs, shown, the setup and the uninstaller ask for it to be closed and Cancel
// leaves; silent, they end with an error (the uninstaller run in place, _?=, to be waited
// for). Nothing changes; once Kestrel has quit, the uninstaller removes all as before.
TEST_F(KestrelSetupShownTest, LeavesTheInstallAloneWhileKestrelRuns) {
    const std::wstring setup = L"\"" + SetupPath().wstring() + L"\"";
    const std::wstring uninstall = L"\"" + (folder_ / L"uninstall.exe").wstring() + L"\"";
    ASSERT_TRUE(Job(setup + L" /S").Ends());
    KestrelExe kestrel(folder_ / L"kestrel.exe");
    HWND window = kestrel.WaitForWindow();
    for (const std::wstring& command :
         {setup, uninstall, setup + L" /S", uninstall + L" /S _?=" + folder_.wstring()}) {
        Job job(command);
        const bool shown = command.find(L" /S") == std::wstring::npos;
        if (shown) {
            HWND question = WaitForTopLevel(L"Kestrel");
            ASSERT_NE(GetDlgItem(question, IDRETRY), nullptr) << VisibleCaptions();
            Click(GetDlgItem(question, IDCANCEL));
        }
        ASSERT_TRUE(job.Ends()) << command;
        EXPECT_TRUE(shown || job.Status() != 0) << command;
        ExpectInstalled();
    }
    const fs::path capture = CaptureAndQuit(window);
    ASSERT_TRUE(kestrel.EndsWithStatusZero());
    const std::string captured = Bytes(capture);
    ASSERT_TRUE(Job(uninstall + L" /S").Ends());
    ExpectUninstalled(capture, captured);
}

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
