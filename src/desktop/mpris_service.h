#pragma once

#include "desktop/cover_art_file.h"
#include "desktop/remote_command_gate.h"
#include "desktop/remote_control_target.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace orvelle {

// Orvelle on the session bus as an MPRIS 2 media player ("org.mpris.MediaPlayer2.orvelle"), so
// that the media keys, the desktop's sound menu and `playerctl` see the song and control the
// main window: play/pause, stop, skip, volume, raise and close. Commands run through a
// RemoteCommandGate, as the window's own controls would; every change of an announced property
// is sent as PropertiesChanged.
class MprisService : public QObject {
  Q_OBJECT

 public:
  static constexpr char kServiceName[] = "org.mpris.MediaPlayer2.orvelle";
  static constexpr char kObjectPath[] = "/org/mpris/MediaPlayer2";
  static constexpr char kRootInterface[] = "org.mpris.MediaPlayer2";
  static constexpr char kPlayerInterface[] = "org.mpris.MediaPlayer2.Player";

  // `desktop_entry`: the desktop entry's name without ".desktop"; `cover_folder`: where the
  // cover's file goes (empty: the user's runtime folder).
  MprisService(RemoteControlTarget& target, QDBusConnection bus, QString desktop_entry,
               QString cover_folder = {});
  ~MprisService() override;

  // Puts the player on the bus: the object, then the name (kept when this connection already
  // owns it). False, logged, when the bus refuses either.
  bool Register();

  // Announces, through PropertiesChanged, every announced property whose value differs from
  // what was last announced. Runs whenever the target says it changed and after each command.
  void Refresh();

  // What the bus's properties read and its methods do.
  const QString& DesktopEntry() const { return desktop_entry_; }
  QString PlaybackStatus() const;
  QVariantMap Metadata();
  double Volume() const;
  qlonglong Position() const;
  void PlayPause();
  void Play();
  void Pause();
  void Stop();
  void Next();
  void SetVolume(double volume);
  void Raise();
  void Quit();

 private:
  // The announced player properties as they are now.
  QVariantMap PlayerProperties();
  void Announce(const char* interface, const QVariantMap& changed);
  void Run(std::function<void()> command);

  RemoteControlTarget& target_;
  QDBusConnection bus_;
  QString desktop_entry_;
  CoverArtFile cover_file_;
  RemoteCommandGate gate_;
  QVariantMap announced_;
  bool registered_ = false;
};

}  // namespace orvelle
