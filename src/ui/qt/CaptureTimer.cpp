#include "ui/qt/CaptureTimer.h"

namespace Ui {

CaptureTimer::CaptureTimer(QObject* parent) : QObject(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &CaptureTimer::Tick);
}

void CaptureTimer::SetInterval(int milliseconds) {
    if (milliseconds == interval_)
        return;
    interval_ = milliseconds;
    Reprogram();
}

void CaptureTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    Reprogram();
}

void CaptureTimer::Reprogram() {
    // A new interval restarts the count from now, as the classic control did.
    if (enabled_ && interval_ > 0) {
        timer_.start(interval_);
    } else {
        timer_.stop();
    }
}

}  // namespace Ui
