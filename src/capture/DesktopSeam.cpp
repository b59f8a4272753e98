#include "capture/DesktopSeam.h"

#include "platform/MessageLoop.h"
#include "platform/Services.h"
#include "platform/posix/LocalClock.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/x11/X11Backend.h"
#include "ui/MainForm.h"

namespace Capture {

namespace {

// The main window as the core sees it, made on its first use: start-up names the capture
// directory in it before showing it.
class MainWindowOnFirstUse final : public KestrelMain::MainWindowView {
  public:
    void SetDirLblText(const std::string& text) override { Form().SetDirLblText(text); }
    void SetTotalLblText(const std::string& text) override { Form().SetTotalLblText(text); }
    void SetHotkeyLblText(const std::string& text) override { Form().SetHotkeyLblText(text); }
    void SetTimer1Interval(std::int32_t milliseconds) override {
        Form().SetTimer1Interval(milliseconds);
    }
    void SetTimer1Enabled(bool enabled) override { Form().SetTimer1Enabled(enabled); }
    void Show() override { Form().Show(); }

  private:
    static Ui::MainForm& Form() { return Ui::MainForm::Instance(); }
};

}  // namespace

void InstallDesktopSeam() {
    // The backends keep nothing of their own between captures beyond what the X11 grab
    // holds for the run, so one of each serves the whole program.
    static Platform::X11Screen screen;
    static Platform::X11ScreenGrab grab;
    static Platform::Posix::PosixFileSystem files;
    static Platform::Posix::LocalClock clock;
    static Platform::X11HotKey hotKey;
    static Platform::QtMessageLoop loop(hotKey);
    static MainWindowOnFirstUse mainWindow;
    Platform::Services services = Platform::Installed();
    services.Screen = &screen;
    services.Grab = &grab;
    services.Files = &files;
    services.Clock = &clock;
    services.HotKey = &hotKey;
    services.Loop = &loop;
    services.MainWindow = &mainWindow;
    Platform::Install(services);
}

}  // namespace Capture
