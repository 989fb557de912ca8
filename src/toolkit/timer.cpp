#include "toolkit/timer.h"

#include <QMetaMethod>
#include <QTimerEvent>

namespace orvelle {

Timer::Timer(QObject* parent) : QObject(parent) {}

Timer::~Timer() {
  if (timer_id_ != 0) killTimer(timer_id_);
}

void Timer::SetInterval(int interval) {
  if (interval == interval_) return;
  interval_ = interval;
  UpdateTimer();
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  UpdateTimer();
}

void Timer::UpdateTimer() {
  if (timer_id_ != 0) {
    killTimer(timer_id_);
    timer_id_ = 0;
  }
  if (enabled_ && interval_ > 0 && isSignalConnected(QMetaMethod::fromSignal(&Timer::OnTimer))) {
    timer_id_ = startTimer(interval_, Qt::PreciseTimer);
  }
}

void Timer::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_id_) {
    QObject::timerEvent(event);
    return;
  }
  QueueTick();
}

void Timer::QueueTick() {
  if (tick_pending_) return;
  tick_pending_ = true;
  QMetaObject::invokeMethod(this, &Timer::Fire, Qt::QueuedConnection);
}

void Timer::Fire() {
  tick_pending_ = false;
  if (timer_id_ == 0) return;  // disabled since the tick was queued
  emit OnTimer(this);
}

void Timer::connectNotify(const QMetaMethod& signal) {
  if (signal == QMetaMethod::fromSignal(&Timer::OnTimer)) UpdateTimer();
}

void Timer::disconnectNotify(const QMetaMethod& signal) {
  if (signal == QMetaMethod::fromSignal(&Timer::OnTimer) || !signal.isValid()) UpdateTimer();
}

}  // namespace orvelle
