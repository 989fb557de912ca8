#pragma once

#include "toolkit/control.h"

#include <QObject>

namespace orvelle {

// The toolkit's timer component: fires OnTimer every Interval milliseconds while Enabled, once a
// handler is bound. Changing Interval or Enabled restarts the period. A tick is delivered as a
// posted call rather than inside Qt's timer dispatch, so a tick also arrives while an earlier
// tick's handler runs a nested event loop (a modal box); ticks never pile up: at most one waits.
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

  // While a hold exists, no timer delivers a tick: the ticks that fall due meanwhile coalesce
  // into one, delivered (as a posted call) once the last hold ends. Holds nest.
  class TickHold {
   public:
    TickHold();
    ~TickHold();
    TickHold(const TickHold&) = delete;
    TickHold& operator=(const TickHold&) = delete;
  };

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
  static void ReleaseHeldTicks();

  int interval_ = 1000;
  bool enabled_ = true;
  int timer_id_ = 0;
  bool tick_pending_ = false;
  bool tick_held_ = false;
};

}  // namespace orvelle
