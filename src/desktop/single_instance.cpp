#include "desktop/single_instance.h"

#include "desktop/mpris_service.h"
#include "service/log.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace orvelle {

namespace {

void AskRunningInstanceToRaise(QDBusConnection& bus) {
  const QDBusMessage raise = QDBusMessage::createMethodCall(
      QString::fromLatin1(MprisService::kServiceName), QString::fromLatin1(MprisService::kObjectPath),
      QString::fromLatin1(MprisService::kRootInterface), QStringLiteral("Raise"));
  const QDBusMessage reply = bus.call(raise, QDBus::Block, kRaiseTimeoutMilliseconds);
  if (reply.type() == QDBusMessage::ErrorMessage) {
    qCWarning(lcDesktop) << "Orvelle already runs, but did not raise its window:" << reply.errorMessage();
  }
}

}  // namespace

InstanceClaim ClaimSingleInstance(QDBusConnection bus) {
  if (!bus.isConnected() || !bus.interface()) {
    qCWarning(lcDesktop) << "No session bus: a second start of Orvelle cannot be noticed";
    return InstanceClaim::NoBus;
  }
  const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
      QString::fromLatin1(MprisService::kServiceName), QDBusConnectionInterface::DontQueueService,
      QDBusConnectionInterface::DontAllowReplacement);
  if (!reply.isValid()) {
    qCWarning(lcDesktop) << "Cannot take the bus name" << MprisService::kServiceName << ":" << reply.error().message();
    return InstanceClaim::NoBus;
  }
  if (reply.value() == QDBusConnectionInterface::ServiceRegistered) return InstanceClaim::First;
  AskRunningInstanceToRaise(bus);
  return InstanceClaim::HandedOver;
}

}  // namespace orvelle
