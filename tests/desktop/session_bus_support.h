#pragma once

// What the tests on a private session bus (run under dbus-run-session) share: client programs run
// while the test keeps answering the bus, a listener for the player's PropertiesChanged, a fake
// inhibit portal and screen saver that record what is asked of them, and a fake notification
// service that records the notifications.

#include "desktop/idle_inhibitor.h"
#include "desktop/mpris_service.h"
#include "desktop/song_notifier.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace orvelle::test {

// How long a client program may take.
inline constexpr int kClientTimeoutMs = 10000;
// How long a test waits for something that happens through the event loop.
inline constexpr int kWaitMs = 5000;

struct ClientResult {
  int exit_code = -1;
  QString output;
};

// Runs a client program to its end while this process keeps answering the bus.
inline ClientResult RunClient(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setProcessChannelMode(QProcess::SeparateChannels);
  QSignalSpy finished(&process, &QProcess::finished);
  process.start(program, arguments);
  if (!process.waitForStarted(kClientTimeoutMs) || !finished.wait(kClientTimeoutMs)) {
    ADD_FAILURE() << program.toStdString() << " did not finish: " << process.errorString().toStdString();
    process.kill();
    process.waitForFinished();
    return {};
  }
  return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed()};
}

inline ClientResult Playerctl(const QStringList& arguments) {
  return RunClient(QStringLiteral("playerctl"), QStringList{"--player=orvelle"} + arguments);
}

// Records the PropertiesChanged signals of the player, on a connection of its own as another
// program would.
class PropertiesListener : public QObject {
  Q_OBJECT

 public:
  explicit PropertiesListener(const QString& name)
      : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)) {
    bus_.connect(MprisService::kServiceName, MprisService::kObjectPath, "org.freedesktop.DBus.Properties",
                 "PropertiesChanged", this, SLOT(Changed(QString, QVariantMap, QStringList)));
  }
  ~PropertiesListener() override { QDBusConnection::disconnectFromBus(bus_.name()); }

  QDBusConnection& Bus() { return bus_; }
  // The last change of the player interface that announced `property`.
  std::optional<QVariantMap> Announced(const QString& property) const {
    for (auto it = seen.rbegin(); it != seen.rend(); ++it) {
      if (it->first == MprisService::kPlayerInterface && it->second.contains(property)) return it->second;
    }
    return std::nullopt;
  }
  QList<QPair<QString, QVariantMap>> seen;

 public slots:
  void Changed(const QString& interface, const QVariantMap& changed, const QStringList&) {
    seen.append({interface, changed});
  }

 private:
  QDBusConnection bus_;
};

// A portal or screen saver registered on the bus by the test, recording what is asked of it.
class FakeInhibitService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")

 public:
  QStringList calls;
  int requests = 0;
  // Runs when a request is closed.
  std::function<void()> on_close;

 public slots:
  Q_SCRIPTABLE QDBusObjectPath Inhibit(const QString& window, uint flags, const QVariantMap& options);
};

class FakeRequest : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")

 public:
  FakeRequest(FakeInhibitService* portal, QString path) : portal_(portal), path_(std::move(path)) {}

 public slots:
  Q_SCRIPTABLE void Close() {
    portal_->calls << "Close " + path_;
    if (portal_->on_close) portal_->on_close();
    QDBusConnection::sessionBus().unregisterObject(path_);
    deleteLater();
  }

 private:
  FakeInhibitService* portal_;
  QString path_;
};

inline QDBusObjectPath FakeInhibitService::Inhibit(const QString& window, uint flags, const QVariantMap& options) {
  const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t%1").arg(++requests);
  calls << QStringLiteral("Inhibit '%1' %2 %3").arg(window).arg(flags).arg(options.value("reason").toString());
  QDBusConnection::sessionBus().registerObject(path, new FakeRequest(this, path), QDBusConnection::ExportScriptableSlots);
  return QDBusObjectPath(path);
}

class FakeScreenSaver : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

 public:
  QStringList calls;

 public slots:
  Q_SCRIPTABLE uint Inhibit(const QString& application, const QString& reason) {
    calls << QStringLiteral("Inhibit %1: %2").arg(application, reason);
    return 41;
  }
  Q_SCRIPTABLE void UnInhibit(uint cookie) { calls << QStringLiteral("UnInhibit %1").arg(cookie); }
};

// Puts an object on the bus under a service name for as long as it lives.
class Registration {
 public:
  Registration(const QString& service, const QString& path, QObject* object) : service_(service), path_(path) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    EXPECT_TRUE(bus.registerObject(path, object, QDBusConnection::ExportScriptableSlots));
    EXPECT_TRUE(bus.registerService(service));
  }
  ~Registration() {
    QDBusConnection::sessionBus().unregisterObject(path_);
    QDBusConnection::sessionBus().unregisterService(service_);
  }

 private:
  QString service_;
  QString path_;
};

// A desktop's notification service, on a connection of its own as the real one is, recording
// every notification it is asked to show.
class FakeNotificationService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Shown {
    QString app_name;
    uint replaces_id;
    QString app_icon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int expire_timeout;
    uint id;  // the id answered
    // The "image-data" hint, when there was one.
    std::optional<NotificationImage> Image() const {
      if (!hints.contains("image-data")) return std::nullopt;
      return qdbus_cast<NotificationImage>(hints.value("image-data").value<QDBusArgument>());
    }
  };

  explicit FakeNotificationService(QStringList capabilities = {"body", "body-markup", "icon-static"})
      : capabilities_(std::move(capabilities)),
        bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "notification-service")) {
    EXPECT_TRUE(bus_.registerObject(SongNotifier::kObjectPath, this, QDBusConnection::ExportScriptableSlots));
    EXPECT_TRUE(bus_.registerService(SongNotifier::kServiceName));
  }
  ~FakeNotificationService() override {
    bus_.unregisterService(SongNotifier::kServiceName);
    QDBusConnection::disconnectFromBus(bus_.name());
  }

  QList<Shown> shown;

 public slots:
  Q_SCRIPTABLE QStringList GetCapabilities() { return capabilities_; }
  Q_SCRIPTABLE uint Notify(const QString& app_name, uint replaces_id, const QString& app_icon, const QString& summary,
                           const QString& body, const QStringList& actions, const QVariantMap& hints, int expire_timeout) {
    const uint id = replaces_id != 0 ? replaces_id : ++last_id_;
    shown.append({app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout, id});
    return id;
  }
  Q_SCRIPTABLE void CloseNotification(uint) {}

 private:
  QStringList capabilities_;
  QDBusConnection bus_;
  uint last_id_ = 40;
};

inline bool WaitForHeld(IdleInhibitor& inhibitor, bool held) {
  return QTest::qWaitFor([&] { return inhibitor.Held() == held; }, kWaitMs);
}
}  // namespace orvelle::test
