#pragma once

// Loading the next song: the playlist request, the parse of its answer into CurrentSong, the
// picture downloads, the display of the new song and the start of its playback; with the
// countdown step and the channel choice that belong to it.
//
// The main window implements SongView and owns one SongLoader:
//
//   SongLoader loader(ProgramPlayState(), http_, *this);
//   loader.LoadNextSong();                               // first show, countdown at zero, skip
//   remainingTimeLabel->SetCaption(loader.CountDown());  // every tick while the song runs
//   loader.ChannelChanged();                             // the channel drop-down changed

#include "radio/play_state.h"
#include "service/http/http_client.h"
#include "service/picture/picture_container.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace orvelle {

// What a load shows and drives in the main window.
class SongView {
 public:
  virtual ~SongView() = default;

  virtual void SetTitleCaption(const QString& text) = 0;   // the title label
  virtual void SetSingerCaption(const QString& text) = 0;  // the singer label
  virtual void SetTimeCaption(const QString& text) = 0;    // the remaining-time label

  virtual PictureContainer& CoverPicture() = 0;   // the hidden cover holder
  virtual PictureContainer& SingerPicture() = 0;  // the hidden singer-picture holder
  virtual PictureContainer& DiscPicture() = 0;    // the rotating disc

  virtual void SetProgressValue(int value) = 0;
  virtual void SetProgressMaxValue(int value) = 0;
  virtual void SetProgressMinValue(int value) = 0;

  virtual void SetCountdownEnabled(bool enabled) = 0;  // the one-second timer
  virtual void SetDiscRotating(bool rotating) = 0;     // the disc's continuous rotation

  // The detail text (channel id) of the channel drop-down's chosen row.
  virtual QString ChosenChannelDetail() const = 0;
};

// Runs an action once after a delay; a new schedule replaces the pending one. Tests put a
// clock of their own in place of the default, which uses a single-shot Qt timer.
class RetryScheduler {
 public:
  virtual ~RetryScheduler() = default;
  virtual void Schedule(std::chrono::milliseconds delay, std::function<void()> action) = 0;
  virtual void Cancel() = 0;
};

// The scheduler loads use unless given another: one shot of the toolkit's timer, so that a
// retry falling due while a request waits is held like the countdown's ticks.
std::unique_ptr<RetryScheduler> MakeTimerRetryScheduler();

// The texts shown when loads keep failing.
inline constexpr char16_t kNoStationText[] = u"无法连接到电台";
inline constexpr char16_t kAnswerNotUnderstoodText[] = u"电台回答无法识别";

// The playlist request's address for a channel and request number.
QString PlaylistAddress(const QString& channel_id, const QString& request_sid);

// A random request number of seven digits, 1000000 to 9999998, from a generator reseeded from
// the clock at every call.
QString DrawRequestSid();

// Parses the playlist answer in state.ResponseText into state.CurrentSong and
// state.RemainingSeconds, leaving the intermediate texts in ResponseText as it goes. Throws
// Error with the reason when the answer does not hold exactly one song with one singer; the
// fields stored before the failure stay.
void ParseSongAnswer(PlayState& state);

class SongLoader {
 public:
  // Consecutive failed attempts after which a load gives up, and the delays before the load
  // that follows a given-up one: the first, doubled after every further give-up, at most the last.
  static constexpr int kMaxAttempts = 5;
  static constexpr std::chrono::milliseconds kFirstRetryDelay{10000};
  static constexpr std::chrono::milliseconds kMaxRetryDelay{60000};

  SongLoader(PlayState& state, http::HttpClient& client, SongView& view,
             std::unique_ptr<RetryScheduler> scheduler = nullptr);
  ~SongLoader();
  SongLoader(const SongLoader&) = delete;
  SongLoader& operator=(const SongLoader&) = delete;

  // Loads the next song of ChannelId and starts playing it. An attempt whose answer does not
  // parse is followed at once by a new one; after kMaxAttempts failures the display says so,
  // the countdown stops, and a new load follows after the retry delay. Errors of the picture
  // downloads and of the player come out; when such an error stops the first load to get an
  // answer after a give-up, the countdown is started again.
  void LoadNextSong();
  // One countdown step: RemainingSeconds one lower, the progress value set, the time text.
  QString CountDown();
  // Hands CurrentSong.url to the player, starts it, the countdown and the disc's rotation.
  void StartPlayback();
  // Makes the drop-down's chosen channel the one the next load asks for.
  void ChannelChanged();
  // Drops the load that was to follow a given-up one. A pause calls it: that load stands in for
  // the countdown, which the pause stops, and a paused song never ends by itself. The resume
  // starts the countdown again, which stands at zero after a give-up and so loads at its tick.
  void CancelRetry();

 private:
  void Load();
  // One attempt at the playlist: empty when it gave a song, else the reason it did not.
  QString AttemptPlaylist();
  void GiveUp(const QString& reason);
  void ShowLoadedSong();
  void RestartCountdownStoppedByGiveUp();

  PlayState& state_;
  http::HttpClient& client_;
  SongView& view_;
  std::unique_ptr<RetryScheduler> scheduler_;
  std::chrono::milliseconds next_retry_delay_ = kFirstRetryDelay;
  // Whether the countdown is off because the last load gave up, not started again since.
  bool countdown_stopped_by_give_up_ = false;
};

}  // namespace orvelle
