#include "desktop/remote_command_gate.h"

#include "toolkit/application.h"

namespace orvelle {

RemoteCommandGate::RemoteCommandGate(QObject* parent) : QObject(parent) {}

void RemoteCommandGate::Submit(std::function<void()> command) {
  commands_.push_back(std::move(command));
  ScheduleNext();
}

void RemoteCommandGate::ScheduleNext() {
  if (scheduled_ || commands_.empty()) return;
  scheduled_ = true;
  // Posted, so that a command never runs inside the call that brought it, nor inside the
  // handler that happens to be running.
  QMetaObject::invokeMethod(this, &RemoteCommandGate::RunNext, Qt::QueuedConnection);
}

void RemoteCommandGate::RunNext() {
  scheduled_ = false;
  if (commands_.empty()) return;
  std::function<void()> command = std::move(commands_.front());
  commands_.pop_front();
  Application::RunGuarded(command);
  ScheduleNext();
}

}  // namespace orvelle
