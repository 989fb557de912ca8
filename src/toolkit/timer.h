#pragma once

#include "toolkit/control.h"

#include <QObject>

namespace orvelle {

// The toolkit's timer component: fires OnTimer every Interval milliseconds while Enabled, once a
// handler is bound. Changing Interval or Enabled restarts the period. A tick is delivered as a
// posted call rather than inside Qt's timer dispatch; ticks never pile up: at most one waits.
class Timer : public QObject, public Loadable {
  Q_OBJECT
  Q_PROPERTY(int Interval READ Interval WRITE SetInterval)
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)

 public:
  explicit Timer(QObject* parent = nullptr);
  ~Timer() override;

  int Interval() const { return interval_; }
  void SetInterval(int interval);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // Whether the underlying timer runs (enabled, positive interval, a handler bound).
  bool Running() const { return timer_id_ != 0; }

 signals:
  void OnTimer(QObject* sender);

 protected:
  void timerEvent(QTimerEvent* event) override;
  void connectNotify(const QMetaMethod& signal) override;
  void disconnectNotify(const QMetaMethod& signal) override;
  void Loaded() override { UpdateTimer(); }

 private:
  void UpdateTimer();
  void Fire();
  void QueueTick();

  int interval_ = 1000;
  bool enabled_ = true;
  int timer_id_ = 0;
  bool tick_pending_ = false;
};

}  // namespace orvelle
