#include "platform/qt/MessageLoop.h"

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

}  // namespace Platform
