// kestrel.exe: the Win32 backend installed behind the seam, then the core's start-up and
// idle loop, which end the program themselves.
#include "core/KestrelMain.h"
#include "core/seam/Services.h"
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32ErrorReport.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32HotKey.h"
#include "platform/win32/Win32MessageLoop.h"
#include "platform/win32/Win32Screen.h"
#include "platform/win32/Win32ScreenGrab.h"
#include "platform/win32/Win32SettingsStore.h"
#include "platform/win32/Win32WebPage.h"
#include "ui/win32/AboutDialog.h"
#include "ui/win32/ConfigDlg.h"
#include "ui/win32/MainForm.h"

#include <windows.h>

#include <sddl.h>

namespace {

// The mark of a running Kestrel, which the setup and the uninstaller look for before they
// change anything (packaging/windows/kestrel.nsi). Every instance holds it until its
// process ends, so it is there while any one runs. Any user may wait on it, and nothing
// more: a machine-wide uninstall sees another user's Kestrel, and another instance that
// finds it made opens it for that right alone.
constexpr wchar_t RUNNING_MUTEX[] = L"Global\\Ardmoor.Kestrel.Running";

void MarkRunning() {
    PSECURITY_DESCRIPTOR everyoneMayWait = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100000;;;WD)", SDDL_REVISION_1,
                                                         &everyoneMayWait, nullptr);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, everyoneMayWait, FALSE};
    if (CreateMutexW(everyoneMayWait != nullptr ? &attributes : nullptr, FALSE, RUNNING_MUTEX) ==
        nullptr)
        OpenMutexW(SYNCHRONIZE, FALSE, RUNNING_MUTEX);
    LocalFree(everyoneMayWait);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    MarkRunning();
    Platform::Win32::BecomePerMonitorDpiAware();

    static Platform::Win32::Win32SettingsStore settings;
    static Platform::Win32::Win32ErrorReport errors;
    static Platform::Win32::Win32Screen screen;
    static Platform::Win32::Win32ScreenGrab grab;
    static Platform::Win32::Win32FileSystem files;
    static Platform::Win32::Win32Clock clock;
    // Bound to the thread's queue rather than the window, which does not exist yet when
    // start-up registers the key.
    static Platform::Win32::Win32HotKey hotKey(nullptr, 1);
    static Seam::MainWindowOnFirstUse<Ui::Win32::MainForm> mainWindow;
    static Platform::Win32::Win32MessageLoop loop(hotKey, [] {
        HWND form = Ui::Win32::MainForm::Instance().Handle();
        const Ui::Win32::AboutDialog* about = Ui::Win32::AboutDialog::Existing();
        const Ui::Win32::ConfigDlg* config = Ui::Win32::ConfigDlg::Existing();
        return std::vector<HWND>{form, errors.Box(), about != nullptr ? about->Handle() : nullptr,
                                 config != nullptr ? config->Handle() : nullptr};
    });
    static Platform::Win32::Win32WebPage web;

    Seam::Services services;
    services.Settings = &settings;
    services.Errors = &errors;
    services.Screen = &screen;
    services.Grab = &grab;
    services.Files = &files;
    services.Clock = &clock;
    services.HotKey = &hotKey;
    services.Loop = &loop;
    services.MainWindow = &mainWindow;
    services.Web = &web;
    Seam::Install(services);

    KestrelMain::Main("C:\\");
}
