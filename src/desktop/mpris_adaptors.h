#pragma once

// The two MPRIS interfaces as Qt D-Bus adaptors of an MprisService: each property and method is
// the service's own, under the interface's names and types.

#include "desktop/mpris_service.h"

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QStringList>

namespace orvelle {

class MprisRootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  explicit MprisRootAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QStringLiteral("Orvelle"); }
  QString DesktopEntry() const { return service_->DesktopEntry(); }
  // The player opens no addresses of its own choosing.
  QStringList SupportedUriSchemes() const { return {}; }
  QStringList SupportedMimeTypes() const { return {}; }

 public slots:
  void Raise() { service_->Raise(); }
  void Quit() { service_->Quit(); }

 private:
  MprisService* service_;
};

class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(double Rate READ Rate)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(bool CanGoNext READ Yes)
  Q_PROPERTY(bool CanGoPrevious READ No)
  Q_PROPERTY(bool CanPlay READ Yes)
  Q_PROPERTY(bool CanPause READ Yes)
  Q_PROPERTY(bool CanSeek READ No)
  Q_PROPERTY(bool CanControl READ Yes)

 public:
  explicit MprisPlayerAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

  QString PlaybackStatus() const { return service_->PlaybackStatus(); }
  double Rate() const { return 1.0; }
  QVariantMap Metadata() const { return service_->Metadata(); }
  double Volume() const { return service_->Volume(); }
  void SetVolume(double volume) { service_->SetVolume(volume); }
  qlonglong Position() const { return service_->Position(); }
  bool Yes() const { return true; }
  bool No() const { return false; }

 public slots:
  void PlayPause() { service_->PlayPause(); }
  void Play() { service_->Play(); }
  void Pause() { service_->Pause(); }
  void Stop() { service_->Stop(); }
  void Next() { service_->Next(); }
  // There is no previous song, no seeking and no opening of addresses: these do nothing.
  void Previous() {}
  void Seek(qlonglong) {}
  void SetPosition(const QDBusObjectPath&, qlonglong) {}
  void OpenUri(const QString&) {}

 signals:
  void Seeked(qlonglong position);

 private:
  MprisService* service_;
};

}  // namespace orvelle
