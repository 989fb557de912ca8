#include "desktop/mpris_properties.h"


#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace orvelle::mpris {

namespace {

constexpr qint64 kMicrosecondsPerSecond = 1000000;
constexpr char kTrackPathPrefix[] = "/org/orvelle/track/";


bool PathElementCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

QString PlaybackStatus(const RadioState& state) {
  if (state.audio_playing) return QStringLiteral("Playing");
  const bool held = state.phase == PlayPhase::Paused || (state.phase == PlayPhase::Loading && !state.play_wanted);
  return held && state.HasSong() ? QStringLiteral("Paused") : QStringLiteral("Stopped");
}

QDBusObjectPath TrackId(const QString& sid) {
  if (sid.isEmpty()) return QDBusObjectPath(QString::fromLatin1(kNoTrackPath));
  QByteArray path(kTrackPathPrefix);
  for (const char c : sid.toUtf8()) {
    if (PathElementCharacter(c)) {
      path += c;
    } else {
      path += '_';
      path += QByteArray(1, c).toHex();
    }
  }
  return QDBusObjectPath(QString::fromLatin1(path));
}

qint64 LengthMicroseconds(const CurrentSongRecord& song) {
  bool ok = false;
  const qint64 seconds = song.length.toLongLong(&ok);
  if (!ok || seconds < 0 || seconds > std::numeric_limits<qint64>::max() / kMicrosecondsPerSecond) return -1;
  return seconds * kMicrosecondsPerSecond;
}

QVariantMap Metadata(const RadioState& state, const QString& art_url) {
  if (!state.HasSong()) return {};
  const CurrentSongRecord& song = state.song;
  QVariantMap metadata{
      {QStringLiteral("mpris:trackid"), QVariant::fromValue(TrackId(song.sid))},
      {QStringLiteral("xesam:title"), song.title},
      {QStringLiteral("xesam:artist"), QStringList{song.singer_name}},
      {QStringLiteral("xesam:album"), song.albumtitle},
  };
  const qint64 length = LengthMicroseconds(song);
  if (length >= 0) metadata.insert(QStringLiteral("mpris:length"), length);
  if (!art_url.isEmpty()) metadata.insert(QStringLiteral("mpris:artUrl"), art_url);
  return metadata;
}

qint64 PositionMicroseconds(const RadioState& state, std::optional<qint64> player_position) {
  if (!state.HasSong()) return 0;
  const qint64 length = LengthMicroseconds(state.song);
  if (state.audio_playing && player_position) {
    return length >= 0 ? std::clamp<qint64>(*player_position, 0, length) : std::max<qint64>(*player_position, 0);
  }
  if (length <= 0) return 0;
  const qint64 position = length - qint64{state.remaining_seconds} * kMicrosecondsPerSecond;
  return std::clamp<qint64>(position, 0, length);
}

int SliderValueFromVolume(double volume) {
  if (!(volume > 0)) return 0;  // also NaN
  const double value = std::round(volume * 100);
  if (value >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  return static_cast<int>(value);
}

double VolumeFromSliderValue(int value) { return value / 100.0; }

}  // namespace orvelle::mpris
