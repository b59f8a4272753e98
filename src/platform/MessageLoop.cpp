#include "platform/MessageLoop.h"

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

}  // namespace Platform
