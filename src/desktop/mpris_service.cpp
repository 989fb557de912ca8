#include "desktop/mpris_service.h"

#include "desktop/mpris_adaptors.h"
#include "desktop/mpris_properties.h"
#include "desktop/session_bus.h"
#include "service/error.h"
#include "service/log.h"
#include "toolkit/application.h"

#include <QDBusMessage>

namespace orvelle {

namespace {

constexpr char kPropertiesInterface[] = "org.freedesktop.DBus.Properties";

// Names the cover of the current song: its sid and the picture the cover holder holds.
QString CoverKey(const RemoteControlTarget& target) {
  const Graphic* cover = target.Cover().Graphic();
  return QString::number(target.State().song_number) + QLatin1Char('/') +
         QString::number(reinterpret_cast<quintptr>(cover), 16);
}

}  // namespace

MprisService::MprisService(RemoteControlTarget& target, QDBusConnection bus, QString desktop_entry,
                           QString cover_folder)
    : target_(target), bus_(std::move(bus)), desktop_entry_(std::move(desktop_entry)),
      cover_file_(std::move(cover_folder)) {
  new MprisRootAdaptor(this);
  new MprisPlayerAdaptor(this);
  connect(&target_.StateNotifier(), &RemoteStateNotifier::Changed, this, &MprisService::Refresh);
  announced_ = PlayerProperties();
}

MprisService::~MprisService() {
  if (!registered_) return;
  bus_.unregisterObject(QString::fromLatin1(kObjectPath));
  bus_.unregisterService(QString::fromLatin1(kServiceName));
}

bool MprisService::Register() {
  if (SessionBusMissing(bus_)) return false;
  if (!bus_.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportAdaptors)) {
    qCWarning(lcDesktop) << "Cannot put the player object on the session bus:" << bus_.lastError().message();
    return false;
  }
  registered_ = true;
  if (!bus_.registerService(QString::fromLatin1(kServiceName))) {
    qCWarning(lcDesktop) << "Cannot take the bus name" << kServiceName << ":" << bus_.lastError().message();
    return false;
  }
  return true;
}

void MprisService::Refresh() {
  const QVariantMap now = PlayerProperties();
  if (now == announced_) return;
  QVariantMap changed;
  for (auto it = now.begin(); it != now.end(); ++it) {
    if (announced_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
  }
  announced_ = now;
  if (!changed.isEmpty()) Announce(kPlayerInterface, changed);
}

QVariantMap MprisService::PlayerProperties() {
  return {
      {QStringLiteral("PlaybackStatus"), PlaybackStatus()},
      {QStringLiteral("Metadata"), Metadata()},
      {QStringLiteral("Volume"), Volume()},
  };
}

void MprisService::Announce(const char* interface, const QVariantMap& changed) {
  if (!registered_) return;
  QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath),
                                                   QString::fromLatin1(kPropertiesInterface),
                                                   QStringLiteral("PropertiesChanged"));
  signal << QString::fromLatin1(interface) << changed << QStringList();
  if (!bus_.send(signal)) qCWarning(lcDesktop) << "Cannot announce a change of" << changed.keys() << "on the bus";
}

QString MprisService::PlaybackStatus() const { return mpris::PlaybackStatus(target_.State()); }

QVariantMap MprisService::Metadata() {
  const QString art_url = cover_file_.Update(CoverKey(target_), [this] {
    const Graphic* cover = target_.Cover().Graphic();
    if (!cover) return QImage();
    try {
      return cover->ToImage();
    } catch (const orvelle::Error& error) {
      qCWarning(lcDesktop) << "The cover cannot be drawn for the desktop's player controls:" << error.Message();
      return QImage();
    }
  });
  return mpris::Metadata(target_.State(), art_url);
}

double MprisService::Volume() const { return mpris::VolumeFromSliderValue(target_.Volume()); }

qlonglong MprisService::Position() const { return mpris::PositionMicroseconds(target_.State(), target_.PlayerPosition()); }

void MprisService::Run(std::function<void()> command) {
  gate_.Submit(
      [this, command = std::move(command)] {
        // What a command changed is announced even when it failed half-way.
        try {
          command();
        } catch (...) {
          Refresh();
          throw;
        }
        Refresh();
      });
}

void MprisService::PlayPause() {
  Run([this] { target_.PlayPause(); });
}

void MprisService::Play() {
  Run([this] {
    if (!target_.State().OffersPause()) target_.PlayPause();
  });
}

void MprisService::Pause() {
  Run([this] {
    if (target_.State().OffersPause()) target_.PlayPause();
  });
}

void MprisService::Stop() {
  Run([this] { target_.Stop(); });
}

void MprisService::Next() {
  Run([this] { target_.Next(); });
}

void MprisService::SetVolume(double volume) {
  const int value = mpris::SliderValueFromVolume(volume);
  Run([this, value] { target_.SetVolume(value); });
}

void MprisService::Raise() {
  Application::RunGuarded([this] { target_.Raise(); });
}

void MprisService::Quit() {
  Run([this] { target_.Quit(); });
}

}  // namespace orvelle
