#include "app/LinuxServices.h"
#include "core/AppId.h"
#include "core/KestrelMain.h"
#include "platform/posix/PosixEndSignals.h"
#include "platform/posix/PosixFileSizeSignal.h"
#include "platform/qt/QtSettingsStore.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv) {
    // Before anything is written: a write over a file-size limit must fail and be reported,
    // not end the program.
    Platform::Posix::IgnoreFileSizeSignal();
    // From the first moment: a SIGTERM that came while the services start (after the hot key
    // was bound, say) must end the program through its own Quit, not where it stands. The
    // event loop reads the request once it runs.
    Platform::Posix::CatchEndSignals();
    // A write to a connection whose other end is gone (the X server killed mid-capture, the
    // bus) must fail and be reported, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    // Kestrel takes no arguments, and Qt would read its own from them (-geometry, -title,
    // -platform, -display, ...): it gets the program's name only. The display comes from
    // DISPLAY. Both live as long as the application, which never returns from Main.
    static char fallbackName[] = "kestrel";
    static char* qtArgv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName, nullptr};
    static int qtArgc = 1;
    QApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("Kestrel"));
    QApplication::setApplicationVersion(QStringLiteral(KESTREL_VERSION));
    // The desktop entry's name: Wayland compositors know the windows by it (their app id).
    QGuiApplication::setDesktopFileName(QLatin1String(KestrelMain::APP_ID));
    // Before anything that pumps Qt's events: Qt asks only once.
    App::EndWhenQtEnds();
    App::InstallLinuxServices();
    App::EndOnSignals();
    KestrelMain::Main(Platform::QtToolkit::DefaultBasePath());
}
