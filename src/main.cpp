#include "core/KestrelMain.h"
#include "platform/FileSizeSignal.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Before anything is written: a write over a file-size limit must fail and be reported,
    // not end the program.
    Platform::IgnoreFileSizeSignal();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrel"));
    QApplication::setApplicationVersion(QStringLiteral(KESTREL_VERSION));
    KestrelMain::Main();
}
