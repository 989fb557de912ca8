#pragma once

#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class QSettings;

namespace orvelle {

// What the listener chose in an earlier run, kept in an INI file (QSettings): the channel, the
// volume, whether the sound was muted and the lyrics' size in pixels; and one choice the listener
// writes into the file by hand: "notify=false" turns the desktop notification of each new song
// off. The file is read once, when this object is made; each
// value is taken only when it is sound, so that a damaged, foreign or hostile file (too large, not
// a regular file, unreadable, binary, of wrong types or out of range) gives the start of a first
// run, with one log line naming what was ignored, never a crash. Changes are written shortly after
// they are made and at the latest when this object goes; a file that could not be written is
// logged.
//
//   [General]
//   channel=17
//   volume=80
//   muted=false
//   lyrics_size=16
//   notify=false
class ListenerSettings {
 public:
  // A file larger than this is not read: settings of a few values take a few dozen bytes.
  static constexpr qint64 kMaxFileBytes = 64 * 1024;
  // The player's loudest volume; a volume above it, or below 0, is not taken.
  static constexpr int kMaxVolume = 200;
  // A channel id longer than this is not taken: the service's ids are a few digits.
  static constexpr int kMaxChannelLength = 64;
  // How long after a change the file is written, so that a slider dragged across its range
  // writes the file once, not at every step.
  static constexpr int kWriteDelayMilliseconds = 250;

  // "orvelle/orvelle.conf" in the user's configuration folder ($XDG_CONFIG_HOME, by default
  // ~/.config).
  static QString DefaultPath();

  explicit ListenerSettings(QString path = DefaultPath());
  ~ListenerSettings();
  ListenerSettings(const ListenerSettings&) = delete;
  ListenerSettings& operator=(const ListenerSettings&) = delete;

  // The values the file held at start, each only when it was sound.
  const std::optional<QString>& Channel() const { return channel_; }
  const std::optional<int>& Volume() const { return volume_; }
  const std::optional<bool>& Muted() const { return muted_; }
  // The lyrics font's height in pixels, within the lyrics' bounds (LyricsFontSize).
  const std::optional<int>& LyricsSize() const { return lyrics_size_; }
  // Whether each new song may be announced by a desktop notification: yes unless the file says
  // "notify=false".
  bool NotificationsWanted() const { return notify_.value_or(true); }

  // Keeps the chosen channel's id.
  void RememberChannel(const QString& channel_id);
  // Keeps the volume the listener hears when not muted (clamped to 0..kMaxVolume) and the muting.
  void RememberVolume(int volume, bool muted);
  // Keeps the lyrics font's height in pixels.
  void RememberLyricsSize(int pixels);

  // Writes the pending changes now; false, logged, when the file cannot be written.
  bool Write();

  const QString& Path() const { return path_; }

 private:
  // Reads the file; the reason it was ignored as a whole, or nothing.
  std::optional<QString> Read(QStringList& ignored_values);
  QSettings& Writer();
  void WriteSoon();

  QString path_;
  std::optional<QString> channel_;
  std::optional<int> volume_;
  std::optional<bool> muted_;
  std::optional<int> lyrics_size_;
  std::optional<bool> notify_;
  // The file found at start was ignored as a whole: the first write replaces it instead of
  // reading it again.
  bool replace_file_ = false;
  bool write_failure_logged_ = false;
  std::unique_ptr<QSettings> writer_;
  QTimer write_timer_;
};

}  // namespace orvelle
