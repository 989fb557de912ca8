#pragma once

#include "radio/radio_state.h"

#include <QDBusObjectPath>
#include <QString>
#include <QVariantMap>

#include <optional>

// How the play state reads as MPRIS player properties.
namespace orvelle::mpris {

inline constexpr char kNoTrackPath[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

// "Playing" only while the player plays; "Paused" while a song is held (paused, or paused while
// the next one is on its way); otherwise "Stopped" (nothing asked for yet, stopped, a song on its
// way with nothing playing meanwhile, given up).
QString PlaybackStatus(const RadioState& state);

// The track's object path, /org/orvelle/track/ followed by the song's sid. Bytes other than
// letters and digits are written as "_" and their two hexadecimal digits ("_" being the one other
// character a path element may hold, it is written so too), so that any sid the service sends
// gives a valid path of its own; an empty sid gives the no-track path.
QDBusObjectPath TrackId(const QString& sid);

// The song's length in microseconds; -1 when its length is not a whole number of seconds.
qint64 LengthMicroseconds(const CurrentSongRecord& song);

// The metadata map of the current song: empty before the first song; otherwise its track id,
// title, artist (the singer), album, length (when known) and, when `art_url` is not empty, the
// cover's address.
QVariantMap Metadata(const RadioState& state, const QString& art_url);

// How far the song has come, in microseconds: while the player plays, its own position
// (`player_position`, none when it cannot tell), which moves smoothly for a desktop's progress
// bar; otherwise how far the countdown has come, the song's length less the remaining seconds.
// Never below 0 nor past the length.
qint64 PositionMicroseconds(const RadioState& state, std::optional<qint64> player_position = std::nullopt);

// MPRIS volume (1.0 normal) from and to the slider's value (100 normal). A negative or
// non-number volume gives 0; a volume too large for the slider gives the largest value.
int SliderValueFromVolume(double volume);
double VolumeFromSliderValue(int value);

}  // namespace orvelle::mpris
