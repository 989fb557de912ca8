#include "desktop/idle_inhibitor.h"

#include "desktop/session_bus.h"

#include "service/log.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace orvelle {

namespace {

constexpr char kPortalService[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kPortalInhibit[] = "org.freedesktop.portal.Inhibit";
constexpr char kPortalRequest[] = "org.freedesktop.portal.Request";
constexpr char kScreenSaverService[] = "org.freedesktop.ScreenSaver";
constexpr char kScreenSaverPath[] = "/org/freedesktop/ScreenSaver";

QString Reason() { return QStringLiteral("Playing music"); }

QDBusMessage Call(const char* service, const QString& path, const char* interface, const char* method) {
  return QDBusMessage::createMethodCall(QString::fromLatin1(service), path, QString::fromLatin1(interface),
                                        QString::fromLatin1(method));
}

}  // namespace

IdleInhibitor::IdleInhibitor(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {
  no_bus_ = SessionBusMissing(bus_);
}

IdleInhibitor::~IdleInhibitor() { Release(true); }

void IdleInhibitor::SetPlaying(bool playing, const QString& song) {
  const bool started = playing && (!playing_ || song != song_);
  playing_ = playing;
  song_ = song;
  if (no_bus_ || asking_) return;  // an answer still to come is settled when it comes
  if (playing && held_ == Holder::None) {
    // After a failure the services are asked again at the next start of playing, not at every
    // change of what plays: a screen saver started later is used from then on.
    if (failed_ && !started) return;
    AskPortal();
  } else if (!playing && held_ != Holder::None) {
    Release(false);
  }
}

void IdleInhibitor::AskPortal() {
  asking_ = true;
  QDBusMessage inhibit = Call(kPortalService, QString::fromLatin1(kPortalPath), kPortalInhibit, "Inhibit");
  inhibit << QString() << kIdleFlag << QVariantMap{{QStringLiteral("reason"), Reason()}};
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(inhibit), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, &IdleInhibitor::PortalAnswered);
}

void IdleInhibitor::AskScreenSaver() {
  QDBusMessage inhibit = Call(kScreenSaverService, QString::fromLatin1(kScreenSaverPath), kScreenSaverService, "Inhibit");
  inhibit << QStringLiteral("Orvelle") << Reason();
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(inhibit), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, &IdleInhibitor::ScreenSaverAnswered);
}

void IdleInhibitor::PortalAnswered(QDBusPendingCallWatcher* call) {
  call->deleteLater();
  const QDBusPendingReply<QDBusObjectPath> reply = *call;
  if (reply.isError()) {
    qCDebug(lcDesktop) << "The desktop portal does not inhibit idleness:" << reply.error().message()
                       << "- asking the screen saver";
    AskScreenSaver();
    return;
  }
  portal_request_ = reply.value();
  Hold(Holder::Portal);
}

void IdleInhibitor::ScreenSaverAnswered(QDBusPendingCallWatcher* call) {
  call->deleteLater();
  const QDBusPendingReply<uint> reply = *call;
  if (reply.isError()) {
    asking_ = false;
    GiveUp(reply.error().message());
    return;
  }
  screensaver_cookie_ = reply.value();
  Hold(Holder::ScreenSaver);
}

void IdleInhibitor::Hold(Holder holder) {
  asking_ = false;
  if (failed_) qCInfo(lcDesktop) << "Idleness is inhibited after all";
  failed_ = false;
  held_ = holder;
  emit HeldChanged(true);
  if (!playing_) Release(false);  // playing stopped while the service answered
}

void IdleInhibitor::Release(bool at_exit) {
  QDBusMessage release;
  switch (held_) {
    case Holder::None:
      return;
    case Holder::Portal:
      release = Call(kPortalService, portal_request_.path(), kPortalRequest, "Close");
      break;
    case Holder::ScreenSaver:
      release = Call(kScreenSaverService, QString::fromLatin1(kScreenSaverPath), kScreenSaverService, "UnInhibit");
      release << screensaver_cookie_;
      break;
  }
  held_ = Holder::None;
  if (at_exit) {
    // Sent without waiting for the answer, so that the program ends at once: should the message
    // not reach the service, the inhibition still ends when this process leaves the bus.
    release.setAutoStartService(false);
    if (!bus_.send(release)) qCWarning(lcDesktop) << "Cannot end the idle inhibition:" << bus_.lastError().message();
  } else {
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(release), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* call) {
      call->deleteLater();
      if (call->isError()) qCWarning(lcDesktop) << "Cannot end the idle inhibition:" << call->error().message();
    });
  }
  emit HeldChanged(false);
}

void IdleInhibitor::GiveUp(const QString& reason) {
  // Logged as a warning once; the retries at each start of playing that fail again, at debug level.
  if (!failure_logged_) {
    failure_logged_ = true;
    qCWarning(lcDesktop) << "The desktop may sleep while a song plays: cannot inhibit idleness:" << reason
                         << "- asking again at the next start of playing";
  } else {
    qCDebug(lcDesktop) << "Still cannot inhibit idleness:" << reason;
  }
  failed_ = true;
}

}  // namespace orvelle
