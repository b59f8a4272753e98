// The main window's Timer1. An interval of 0 never fires, as the classic timer control
// did; ticks arrive only while it is enabled with a positive interval.
#pragma once

#include <QObject>
#include <QTimer>

namespace Ui {

class CaptureTimer : public QObject {
    Q_OBJECT
  public:
    explicit CaptureTimer(QObject* parent = nullptr);

    int Interval() const { return interval_; }
    void SetInterval(int milliseconds);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Running() const { return timer_.isActive(); }

  signals:
    void Tick();

  private:
    void Reprogram();

    QTimer timer_;
    int interval_ = 5000;
    bool enabled_ = false;
};

}  // namespace Ui
