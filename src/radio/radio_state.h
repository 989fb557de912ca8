#pragma once

// What the radio publishes: the song on show, its countdown, the phase of the playback cycle and
// the volume. One Radio (radio/radio.h) writes it; the main window renders it and the desktop's
// remote control reads it. Header only, so that readers need not link the radio.

#include <QString>

#include <QtGlobal>

#include <chrono>

namespace orvelle {

// The now-playing record: the texts of a song as the service gave it, named after the keys of its
// JSON answer.
struct CurrentSongRecord {
  QString sid;
  QString ssid;
  QString albumtitle;
  QString url;
  QString album;
  QString file_ext;
  QString title;
  QString picture;
  QString update_time;
  QString public_time;
  QString length;
  QString singer_name;
  QString singer_avatar;
};

// Where the playback cycle stands.
enum class PlayPhase {
  Stopped,  // nothing asked for yet, or stopped by the listener (the song, if any, from its start)
  Loading,  // the next song is on its way (the song shown, if any, is the one before)
  Playing,  // the song shown was handed to the player and started
  Paused,   // the song shown is held where it was
  GivenUp,  // the service could not be had; a new try comes at `next_try`
};

struct RadioState {
  using Clock = std::chrono::steady_clock;

  // The channel the next load asks for (the channel list's detail text).
  QString channel_id = QStringLiteral("-10");

  // The song shown and handed to the player: all empty before the first and after a give-up.
  CurrentSongRecord song;
  // Counts the songs shown since the start; each new song has a new number.
  quint64 song_number = 0;
  // Whole seconds left of the song, counted down once a second while it plays.
  qint32 remaining_seconds = 0;
  // The song's length as a number (the progress's maximum).
  qint32 length_seconds = 0;

  PlayPhase phase = PlayPhase::Stopped;
  // Whether the listener wants music: a load under way then starts its song; false after a pause
  // or a stop.
  bool play_wanted = true;
  // Whether the player is playing: told to play and not paused, stopped or failed since. The
  // desktop says "Playing" only then.
  bool audio_playing = false;

  // GivenUp: the reason in a few words, and when the next try comes.
  QString give_up_reason;
  Clock::time_point next_try;

  // The player's volume (0 while muted), the muting, and the volume from before it.
  int volume = 100;
  bool muted = false;
  int saved_volume = 100;

  bool HasSong() const { return song_number > 0 && !song.url.isEmpty(); }
  // Whether the play/pause control offers the pause: a song plays, or one is on its way to play.
  bool OffersPause() const {
    return phase == PlayPhase::Playing || (phase == PlayPhase::Loading && play_wanted);
  }
  // The progress's value: how far the countdown has come.
  int ProgressValue() const { return static_cast<int>(qint64{length_seconds} - remaining_seconds); }
  // The remaining-time text, "- 4 :04" for 244 seconds ("- 0 :-01" below zero).
  QString RemainingText() const {
    return QString::asprintf("- %d :%.2d", remaining_seconds / 60, remaining_seconds % 60);
  }
  // GivenUp: whole seconds to the next try, rounded up, never below 0.
  int SecondsToNextTry(Clock::time_point now = Clock::now()) const {
    const auto left = std::chrono::ceil<std::chrono::seconds>(next_try - now).count();
    return left > 0 ? static_cast<int>(left) : 0;
  }
};

}  // namespace orvelle
