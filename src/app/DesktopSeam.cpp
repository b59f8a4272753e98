#include "app/DesktopSeam.h"

#include "platform/Services.h"
#include "platform/posix/LocalClock.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/qt/Failure.h"
#include "platform/qt/MessageLoop.h"
#include "platform/x11/X11Backend.h"
#include "platform/x11/X11Session.h"
#include "ui/qt/MainForm.h"

#include <QGuiApplication>

namespace App {

namespace {

// Outside an X11 session there is no screen Kestrel can read yet; every capture says so.
class NoX11Screen final : public Platform::Screen {
  public:
    KestrelMain::Result<Platform::ScreenRect> ReadPrimaryScreen() override {
        return Platform::ToCore(
            Platform::NoX11Failure(QStringLiteral("Cannot find the primary screen")));
    }
    KestrelMain::Result<Platform::PointerPosition> ReadPointer(
        const Platform::ScreenRect&) override {
        return Platform::ToCore(
            Platform::NoX11Failure(QStringLiteral("Cannot read the pointer position")));
    }
};

class NoX11HotKey final : public Platform::HotKey {
  public:
    KestrelMain::Status Register() override {
        return Platform::ToCore(Platform::NoX11Failure(QStringLiteral("Cannot register Ctrl+F")));
    }
    bool PressPending() override { return false; }
    bool TakePress() override { return false; }
};

class NoX11ScreenGrab final : public Platform::ScreenGrab {
  public:
    KestrelMain::Result<KestrelMain::Picture> GrabScaled(const Platform::ScreenRect&, int,
                                                         int) override {
        return Platform::ToCore(Platform::NoX11Failure(QStringLiteral("Cannot grab the screen")));
    }
};

}  // namespace

void UseDesktopBackend() {
    // The backends keep nothing of their own between captures beyond what the X11 grab
    // holds for the run, so one of each serves the whole program.
    static Platform::Posix::LocalClock clock;
    static Platform::Posix::PosixFileSystem files;
    static Platform::X11Screen x11Screen;
    static Platform::X11ScreenGrab x11Grab;
    static NoX11Screen noX11Screen;
    static NoX11ScreenGrab noX11Grab;
    static Platform::X11HotKey x11HotKey;
    static NoX11HotKey noX11HotKey;
    static KestrelMain::MainWindowOnFirstUse<Ui::MainForm> mainWindow;
    const bool x11 = QGuiApplication::platformName() == QStringLiteral("xcb");
    Platform::HotKey& hotKey = x11 ? static_cast<Platform::HotKey&>(x11HotKey) : noX11HotKey;
    static Platform::QtMessageLoop loop(hotKey);

    Platform::Services services = Platform::Installed();
    services.Screen = x11 ? static_cast<Platform::Screen*>(&x11Screen) : &noX11Screen;
    services.Grab = x11 ? static_cast<Platform::ScreenGrab*>(&x11Grab) : &noX11Grab;
    services.Files = &files;
    services.Clock = &clock;
    services.HotKey = &hotKey;
    services.Loop = &loop;
    services.MainWindow = &mainWindow;
    Platform::Install(services);
}

}  // namespace App
