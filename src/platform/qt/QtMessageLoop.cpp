#include "platform/qt/QtMessageLoop.h"

#include "platform/posix/PosixProcess.h"

#include <QCoreApplication>
#include <QEvent>

namespace Platform::QtToolkit {

void QtMessageLoop::WaitMessage() {
    if (hotKey_.PressPending())
        return;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtMessageLoop::DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // No exec() runs, so windows closed with delete-on-close are destroyed here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void QtMessageLoop::EndProgramNow() {
    Posix::EndProgramNow();
}

}  // namespace Platform::QtToolkit
