#include "platform/MessageLoop.h"

#include "platform/Process.h"
#include "platform/x11/HotKey.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>

namespace Platform {

void WaitMessage() {
    if (HotKeyPressPending())
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
