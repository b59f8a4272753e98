#include "platform/qt/MessageLoop.h"

#include "platform/posix/Process.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>

namespace Platform {

void WaitMessage(bool (*pressPending)()) {
    if (pressPending())
        return;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // No exec() runs, so windows closed with delete-on-close are destroyed here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void QtMessageLoop::WaitMessage() {
    if (hotKey_.PressPending())
        return;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtMessageLoop::DoEvents() {
    Platform::DoEvents();
}

void QtMessageLoop::EndProgramNow() {
    Platform::EndProgramNow();
}

}  // namespace Platform
