#pragma once

// The radio: the one owner of the playback cycle. It holds the media player, the song loader,
// the one-second countdown and the HTTP client, runs the cycle (load, show, play, count down, load
// the next song at zero, retry after failures) and publishes one RadioState with a signal for
// each kind of change. Nothing else writes that state; nothing here calls into a window.
//
// The main window renders the state and forwards the listener's input; the desktop reads the
// same state:
//
//   Radio radio(MakeProgramMediaPlayer);
//   QObject::connect(&radio, &Radio::SongShown, window, [&] {
//     titleLabel->SetCaption(radio.State().song.title);   // once per song
//     disc->Picture()->Assign(&radio.Cover());
//   });
//   QObject::connect(&radio, &Radio::PhaseChanged, window, [&] { ShowPlayPause(radio.State().OffersPause()); });
//   QObject::connect(&radio, &Radio::CountdownMoved, window, [&] { timeLabel->SetCaption(radio.State().RemainingText()); });
//   radio.CreatePlayer();   // the window's first show; throws Error when the player cannot be made
//   radio.Start();          // the first load
//   radio.PlayPause();      // the play/pause button, Space, the desktop's play-pause
//   radio.Next();           // the skip button
//
// The cycle: a load makes up to kMaxAttempts attempts in a row. An attempt fails when the playlist
// request fails or its answer is not one song, and when the player reports that the song it was
// given cannot be played. After kMaxAttempts failures in a row the radio gives up (GivenUp, with
// the reason and the time of the next try) and tries again after 5, 10, 20, 30 s, then every 30 s,
// each with some jitter so that many listeners do not come back at once. A picture that cannot be
// had never stops its song: the song is shown and plays with that picture empty.

#include "playback/media_player.h"
#include "radio/client_requests.h"
#include "radio/lyrics_request.h"
#include "radio/radio_state.h"
#include "radio/song_loading.h"
#include "radio/unseen_countdown.h"
#include "service/http/http_client.h"
#include "service/picture/picture_container.h"
#include "toolkit/timer.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

namespace orvelle {

// Makes the media player; throws Error when it cannot.
using MediaPlayerFactory = std::function<std::unique_ptr<MediaPlayer>()>;

// Runs an action once after a delay; a new schedule replaces the pending one. Tests put a clock
// of their own in place of the default, a single-shot timer.
class RetryScheduler {
 public:
  virtual ~RetryScheduler() = default;
  virtual void Schedule(std::chrono::milliseconds delay, std::function<void()> action) = 0;
  virtual void Cancel() = 0;
};

std::unique_ptr<RetryScheduler> MakeTimerRetryScheduler();

// The delay before the try that follows the `give_ups`-th give-up in a row (1 for the first):
// 5, 10, 20, 30 s, then 30 s, each scaled by `jitter` (0.8 to 1.2), and never above
// kLongestRetryDelay.
std::chrono::milliseconds RetryDelay(int give_ups, double jitter);
inline constexpr std::chrono::milliseconds kLongestRetryDelay{34000};

class Radio : public QObject {
  Q_OBJECT

 public:
  // Failed attempts in a row after which the radio gives up for a while.
  static constexpr int kMaxAttempts = 5;
  static constexpr int kCountdownMilliseconds = 1000;

  explicit Radio(MediaPlayerFactory make_player, std::unique_ptr<RetryScheduler> scheduler = nullptr,
                 QObject* parent = nullptr);
  ~Radio() override;

  const RadioState& State() const;
  // The pictures of the song shown: its cover (also the disc's) and its singer's picture.
  const PictureContainer& Cover() const { return cover_; }
  const PictureContainer& SingerPicture() const { return singer_picture_; }
  // How far the player has come in the song, in microseconds (0 without a player).
  std::int64_t PlayerPositionMicroseconds() const;
  // The one HTTP client of the program: playlist, lyrics and pictures.
  http::HttpClient& Http() { return http_; }
  bool HasPlayer() const { return player_ != nullptr; }
  // Whether the one-second countdown of the song runs, and how long it sleeps between wake-ups
  // (a second while seen; unseen, up to the song's end).
  bool CountdownRunning() const { return countdown_.Enabled(); }
  int CountdownWakeInterval() const { return countdown_.Interval(); }
  bool LoadUnderWay() const { return loader_.Loading(); }

  // Makes the media player and reads its volume. Throws Error when it cannot be made; every later
  // use of the player then fails with the same reason.
  void CreatePlayer();
  // The first load.
  void Start();
  // Pauses what plays, or plays: resumes the song, starts the song of a load under way when it
  // comes, or, after a give-up, tries again at once.
  void PlayPause();
  void Pause();
  void Resume();
  // Abandons the load under way and loads the next song, which plays whatever was paused.
  void Next();
  // Stops the player; the song, if any, plays again from its beginning.
  void Stop();
  // Makes the channel the one the next load asks for.
  void ChooseChannel(const QString& channel_id);

  // The player's volume, read from the player.
  int PlayerVolume();
  // Sets the player's volume (0 to 200); the muting stays as it is.
  void SetVolume(int volume);
  // Mutes (the volume kept for the unmute) or unmutes.
  void ToggleMute();
  // Takes back a muting of an earlier run: `heard` is the volume an unmute gives back.
  void RestoreMuted(int heard);
  // Forgets the muting without changing the volume (the caller sets the volume next).
  void LeaveMuted();

  // Requests the lyrics of the song shown; `done` gets them, or "无歌词" for a song without, or
  // the failure's text marked failed (from the event loop, or at once when the song has none to
  // ask for). A request still under way is dropped.
  void RequestLyrics(std::function<void(const LyricsAnswer&)> done);
  bool LyricsUnderWay() const { return lyrics_request_ != 0; }
  void CancelLyrics();

  // Whether anyone sees the countdown: unseen, it wakes once at the song's end instead of every
  // second and counts the seconds that passed when it wakes or is read.
  void SetSeen(bool seen);

  // The program closes: the load and the lyrics are dropped, the retry cancelled and the player
  // stopped (its errors dropped).
  void Shutdown();

 signals:
  // A new song is shown (once per song): the song, its pictures, its countdown.
  void SongShown();
  // The phase, the wish to play or the player's playing changed.
  void PhaseChanged();
  // The remaining seconds moved, or (given up) the seconds to the next try.
  void CountdownMoved();
  // The volume or the muting changed.
  void VolumeChanged();

 private:
  enum class LoadCause { Listener, SongEnded, PlayerFailed, Retry };

  MediaPlayer& Player() const;
  void LoadNextSong(LoadCause cause);
  void AttemptFailed(const AttemptFailure& failure);
  void SongArrived();
  // Shows the song the loader brought and hands it to the player.
  void ShowArrivedSong();
  void PlayerFailed(const PlaybackFailure& failure);
  void GiveUp(const QString& reason);
  void ClearSong();
  // One countdown step: the count one lower, its move announced.
  void CountDown();
  bool TakeCountdownStep();
  int CountdownStepsToRunOut() const;
  void RunCountdown(bool run);
  void CountdownTick();
  // Sets the phase and announces whatever of it changed.
  void SetPhase(PlayPhase phase);
  void AnnouncePhase();

  MediaPlayerFactory make_player_;
  std::unique_ptr<MediaPlayer> player_;
  QString player_failure_;  // why the player could not be made
  http::HttpClient http_;
  // The client's requests, one at a time off the user-interface thread; before the loader, which
  // uses them, and after the client, which they use.
  ClientRequests requests_;
  SongLoader loader_;
  std::unique_ptr<RetryScheduler> scheduler_;
  mutable RadioState state_;
  PictureContainer cover_;
  PictureContainer singer_picture_;

  Timer countdown_;
  // Mutable: reading the state brings an unseen count up to the present.
  mutable UnseenCountdown unseen_count_;
  // Given up: moves the count to the next try once a second while it is seen.
  QTimer retry_count_;
  bool seen_ = true;
  // Failed attempts in a row, and give-ups in a row: both start again when the player's position
  // shows that a song really plays, and when the listener or a song's end asks for the next.
  int failed_attempts_ = 0;
  int give_ups_ = 0;
  ClientRequests::Id lyrics_request_ = 0;
  // What PhaseChanged last announced: the phase, the wish to play, the player's playing.
  struct PhaseSeen {
    PlayPhase phase;
    bool play_wanted;
    bool audio_playing;
    bool operator==(const PhaseSeen&) const = default;
  };
  PhaseSeen announced_phase_{PlayPhase::Stopped, true, false};
};

}  // namespace orvelle
