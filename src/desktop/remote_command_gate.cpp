#include "desktop/remote_command_gate.h"

#include "service/log.h"
#include "toolkit/application.h"
#include "toolkit/message_box.h"
#include "toolkit/network_wait.h"

#include <algorithm>

namespace orvelle {

RemoteCommandGate::RemoteCommandGate(std::function<bool()> box_open, std::function<bool()> network_waits,
                                     QObject* parent)
    : QObject(parent),
      box_open_(box_open ? std::move(box_open) : std::function<bool()>(MessageBoxOpen)),
      network_waits_(network_waits ? std::move(network_waits) : std::function<bool()>(NetworkWaitInProgress)) {
  hold_poll_.setSingleShot(true);
  hold_poll_.setInterval(kHoldPollMilliseconds);
  connect(&hold_poll_, &QTimer::timeout, this, &RemoteCommandGate::RunNext);
}

void RemoteCommandGate::Submit(std::function<void()> command, Hold hold) {
  if (Pending() >= kMaxHeldCommands) {
    qCWarning(lcDesktop) << "Remote control command dropped:" << Pending() << "commands are already waiting";
    return;
  }
  commands_.push_back({std::move(command), hold});
  ScheduleNext();
}

bool RemoteCommandGate::MayRun(const Command& command) const {
  if (box_open_()) return false;
  return command.hold == Hold::WhileBoxOpen || !network_waits_();
}

void RemoteCommandGate::ScheduleNext() {
  if (scheduled_ || hold_poll_.isActive() || commands_.empty()) return;
  scheduled_ = true;
  // Posted, so that a command never runs inside the call that brought it, nor inside the
  // handler that happens to be running.
  QMetaObject::invokeMethod(this, &RemoteCommandGate::RunNext, Qt::QueuedConnection);
}

void RemoteCommandGate::RunNext() {
  scheduled_ = false;
  // The first command allowed to run goes; one that may interrupt a wait (closing) passes those
  // held by it, as the close button works while a click waits.
  const auto runnable = std::find_if(commands_.begin(), commands_.end(),
                                     [this](const Command& command) { return MayRun(command); });
  if (runnable == commands_.end()) {
    qCDebug(lcDesktop) << "Remote control command held until the open box closes or the waiting request ends";
    hold_poll_.start();
    return;
  }
  Command command = std::move(*runnable);
  commands_.erase(runnable);
  Application::RunGuarded(command.run);
  ScheduleNext();
}

}  // namespace orvelle
