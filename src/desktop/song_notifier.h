#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QImage>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <optional>

class QDBusPendingCallWatcher;

namespace orvelle {

// What the notification of a song shows.
struct SongNotice {
  QString title;
  QString singer;
  // The cover; a null image when there is none.
  QImage cover;
};

// A picture as a notification carries it in its "image-data" hint, the D-Bus structure
// (iiibiiay): width, height, bytes per row, whether there is an alpha channel, bits per sample,
// channels and the pixel bytes, row after row, each pixel R, G, B (and A).
struct NotificationImage {
  int width = 0;
  int height = 0;
  int rowstride = 0;
  bool has_alpha = false;
  int bits_per_sample = 8;
  int channels = 0;
  QByteArray data;

  // A picture fitted within `side` × `side` pixels (a larger one scaled down, keeping its
  // proportions), as 8-bit RGBA.
  static NotificationImage FromImage(const QImage& image, int side);
};
QDBusArgument& operator<<(QDBusArgument& argument, const NotificationImage& image);
const QDBusArgument& operator>>(const QDBusArgument& argument, NotificationImage& image);

// Tells the desktop of a new song with a notification (org.freedesktop.Notifications on the
// session bus): the title as its summary, the singer as its body, the cover as its image. Each
// notification replaces the one shown before (its id), so that Orvelle has one on the desktop at
// a time; songs that come while the desktop has not yet answered the last call are sent after
// it, only the latest. The calls never wait: the desktop answers through the event loop.
// Without a notification service on the bus nothing is shown, and one debug line says so until a
// notification gets through again.
class SongNotifier : public QObject {
  Q_OBJECT

 public:
  static constexpr char kServiceName[] = "org.freedesktop.Notifications";
  static constexpr char kObjectPath[] = "/org/freedesktop/Notifications";
  static constexpr char kInterface[] = "org.freedesktop.Notifications";
  // The largest side of the cover sent: what a notification shows, without megabytes on the bus.
  static constexpr int kCoverSide = 128;

  // `app_name` names the program to the desktop, `desktop_entry` is its desktop entry's name
  // (also its icon's).
  SongNotifier(QDBusConnection bus, QString app_name, QString desktop_entry);

  void Show(const SongNotice& notice);

 private:
  // Sends the song that waits, once the desktop's capabilities are known and no call is running.
  void SendWaiting();
  void AskCapabilities();
  void Notify(const SongNotice& notice);
  // The body as the desktop reads it: with markup escaped where the desktop reads markup.
  QString Body(const QString& singer) const;
  // A call ended; false, logged, when it failed.
  bool Answered(const QDBusPendingCallWatcher& call, const char* what);

  QDBusConnection bus_;
  QString app_name_;
  QString desktop_entry_;
  std::optional<SongNotice> waiting_;
  bool call_running_ = false;
  // Whether the desktop reads markup in a body: unknown until it has answered.
  std::optional<bool> body_markup_;
  // The id of the notification shown last, which the next one replaces; 0 for none.
  uint shown_id_ = 0;
  bool failure_logged_ = false;
};

}  // namespace orvelle

Q_DECLARE_METATYPE(orvelle::NotificationImage)
