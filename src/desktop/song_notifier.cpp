#include "desktop/song_notifier.h"

#include "desktop/session_bus.h"
#include "service/log.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace orvelle {

namespace {

// The desktop chooses how long a notification stays.
constexpr int kDesktopsExpiry = -1;

void RegisterImageType() {
  static const QMetaType registered = qDBusRegisterMetaType<NotificationImage>();
  (void)registered;
}

}  // namespace

NotificationImage NotificationImage::FromImage(const QImage& image, int side) {
  QImage fitted = image;
  if (fitted.width() > side || fitted.height() > side) {
    fitted = fitted.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  fitted = fitted.convertToFormat(QImage::Format_RGBA8888);
  NotificationImage result;
  result.width = fitted.width();
  result.height = fitted.height();
  result.rowstride = static_cast<int>(fitted.bytesPerLine());
  result.has_alpha = true;
  result.bits_per_sample = 8;
  result.channels = 4;
  result.data = QByteArray(reinterpret_cast<const char*>(fitted.constBits()), fitted.sizeInBytes());
  return result;
}

QDBusArgument& operator<<(QDBusArgument& argument, const NotificationImage& image) {
  argument.beginStructure();
  argument << image.width << image.height << image.rowstride << image.has_alpha << image.bits_per_sample
           << image.channels << image.data;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, NotificationImage& image) {
  argument.beginStructure();
  argument >> image.width >> image.height >> image.rowstride >> image.has_alpha >> image.bits_per_sample >>
      image.channels >> image.data;
  argument.endStructure();
  return argument;
}

SongNotifier::SongNotifier(QDBusConnection bus, QString app_name, QString desktop_entry)
    : bus_(std::move(bus)), app_name_(std::move(app_name)), desktop_entry_(std::move(desktop_entry)) {
  RegisterImageType();
}

void SongNotifier::Show(const SongNotice& notice) {
  if (SessionBusMissing(bus_)) return;
  waiting_ = notice;
  SendWaiting();
}

void SongNotifier::SendWaiting() {
  if (call_running_ || !waiting_) return;
  if (!body_markup_) {
    AskCapabilities();
    return;
  }
  Notify(*std::exchange(waiting_, std::nullopt));
}

void SongNotifier::AskCapabilities() {
  const QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(kServiceName), QString::fromLatin1(kObjectPath), QString::fromLatin1(kInterface),
      QStringLiteral("GetCapabilities"));
  call_running_ = true;
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* answer) {
    answer->deleteLater();
    call_running_ = false;
    if (!Answered(*answer, "asking for its capabilities")) {
      waiting_.reset();  // no one to show it; the next song asks again
      return;
    }
    const QDBusPendingReply<QStringList> capabilities = *answer;
    body_markup_ = capabilities.value().contains(QStringLiteral("body-markup"));
    SendWaiting();
  });
}

void SongNotifier::Notify(const SongNotice& notice) {
  QVariantMap hints{
      {QStringLiteral("desktop-entry"), desktop_entry_},
      // A song begins to be heard: the notification makes no sound of its own.
      {QStringLiteral("suppress-sound"), true},
  };
  if (!notice.cover.isNull()) {
    hints.insert(QStringLiteral("image-data"), QVariant::fromValue(NotificationImage::FromImage(notice.cover, kCoverSide)));
  }
  QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kServiceName), QString::fromLatin1(kObjectPath),
                                                     QString::fromLatin1(kInterface), QStringLiteral("Notify"));
  call << app_name_ << shown_id_ << desktop_entry_ << notice.title << Body(notice.singer) << QStringList() << hints
       << kDesktopsExpiry;
  call_running_ = true;
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* answer) {
    answer->deleteLater();
    call_running_ = false;
    if (Answered(*answer, "showing a song")) {
      const QDBusPendingReply<uint> id = *answer;
      shown_id_ = id.value();
      failure_logged_ = false;
    } else {
      // A desktop that came back is asked again what it reads.
      body_markup_.reset();
    }
    SendWaiting();
  });
}

QString SongNotifier::Body(const QString& singer) const {
  if (!body_markup_.value_or(false)) return singer;
  QString escaped = singer;
  escaped.replace(u'&', QStringLiteral("&amp;")).replace(u'<', QStringLiteral("&lt;")).replace(u'>', QStringLiteral("&gt;"));
  return escaped;
}

bool SongNotifier::Answered(const QDBusPendingCallWatcher& call, const char* what) {
  if (!call.isError()) return true;
  if (!failure_logged_) {
    failure_logged_ = true;
    qCDebug(lcDesktop).noquote() << "No song notifications: the desktop's notification service failed" << what
                                 << "-" << call.error().name() << call.error().message();
  }
  return false;
}

}  // namespace orvelle
