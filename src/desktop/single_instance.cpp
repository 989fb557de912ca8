#include "desktop/single_instance.h"

#include "desktop/mpris_service.h"
#include "desktop/session_bus.h"
#include "service/log.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QThread>

#include <optional>

namespace orvelle {

namespace {

// How long and how often a start whose Raise went unanswered looks whether the name is free: with
// the Raise's own wait, the start still ends within a second.
constexpr int kNameReleaseWaitMilliseconds = 400;
constexpr int kNamePollMilliseconds = 25;

// Asks the bus for the player's name: true when this process has it now, nothing when the bus
// refused to answer (logged).
std::optional<bool> TakeName(QDBusConnection& bus) {
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
      QString::fromLatin1(MprisService::kServiceName), QDBusConnectionInterface::DontQueueService,
      QDBusConnectionInterface::DontAllowReplacement);
  if (!reply.isValid()) {
    qCWarning(lcDesktop) << "Cannot take the bus name" << MprisService::kServiceName << ":" << reply.error().message();
    return std::nullopt;
  }
  return reply.value() == QDBusConnectionInterface::ServiceRegistered;
}

// Asks the running instance to raise its window; the error when it did not.
std::optional<QString> AskRunningInstanceToRaise(QDBusConnection& bus) {
  const QDBusMessage raise = QDBusMessage::createMethodCall(
      QString::fromLatin1(MprisService::kServiceName), QString::fromLatin1(MprisService::kObjectPath),
      QString::fromLatin1(MprisService::kRootInterface), QStringLiteral("Raise"));
  const QDBusMessage reply = bus.call(raise, QDBus::Block, kRaiseTimeoutMilliseconds);
  if (reply.type() == QDBusMessage::ErrorMessage) return reply.errorMessage();
  return std::nullopt;
}

// An instance that does not answer Raise is either starting (its window comes anyway) or on its
// way out, its name about to go: takes the name when it goes within kNameReleaseWaitMilliseconds.
bool TakeNameWhenReleased(QDBusConnection& bus) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < kNameReleaseWaitMilliseconds) {
    if (TakeName(bus).value_or(false)) return true;
    QThread::msleep(kNamePollMilliseconds);
  }
  return false;
}

}  // namespace

InstanceClaim ClaimSingleInstance(QDBusConnection bus) {
  if (SessionBusMissing(bus)) return InstanceClaim::NoBus;
  if (!bus.interface()) {
    qCWarning(lcDesktop) << "The session bus does not answer: a second start of Orvelle cannot be noticed";
    return InstanceClaim::NoBus;
  }
  const std::optional<bool> taken = TakeName(bus);
  if (!taken) return InstanceClaim::NoBus;
  if (*taken) return InstanceClaim::First;
  const std::optional<QString> raise_error = AskRunningInstanceToRaise(bus);
  if (!raise_error) return InstanceClaim::HandedOver;
  if (TakeNameWhenReleased(bus)) {
    qCInfo(lcDesktop) << "The running Orvelle left as this one started:" << *raise_error;
    return InstanceClaim::First;
  }
  qCWarning(lcDesktop) << "Orvelle already runs, but did not raise its window:" << *raise_error;
  return InstanceClaim::HandedOver;
}

}  // namespace orvelle
