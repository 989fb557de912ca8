#pragma once

// Loading the next song: the playlist request, the parse of its answer into CurrentSong, the
// picture downloads, the display of the new song and the start of its playback; with the
// countdown step and the channel choice that belong to it.
//
// A load is a sequence of steps that each run when the answer before it has arrived: nothing
// waits, and the windows answer every input meanwhile. Each step reads the play state at the
// moment it runs. Loads never overlap: starting one abandons the one under way, whose request is
// aborted and whose later steps never run.
//
// The main window implements SongView and owns one SongLoader:
//
//   SongLoader loader(ProgramPlayState(), requests_, *this);
//   loader.LoadNextSong();                               // first show, countdown at zero, skip
//   remainingTimeLabel->SetCaption(loader.CountDown());  // every tick while the song runs
//   loader.ChannelChanged();                             // the channel drop-down changed

#include "radio/client_requests.h"
#include "radio/play_state.h"
#include "service/picture/picture_container.h"

#include <QString>

#include <chrono>
#include <cstdint>
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

  // Whether the listener paused while the load ran: its song is then shown and opened in the
  // player, but not started.
  virtual bool PlaybackHeld() const { return false; }
  // How a load ended: its song shown (and started unless held), given up after failed attempts
  // (the captions say so), or stopped by an error of a picture or the player.
  enum class LoadEnd { SongShown, GaveUp, Failed };
  virtual void LoadEnded(LoadEnd end) { (void)end; }
};

// Runs an action once after a delay; a new schedule replaces the pending one. Tests put a
// clock of their own in place of the default, which uses a single-shot Qt timer.
class RetryScheduler {
 public:
  virtual ~RetryScheduler() = default;
  virtual void Schedule(std::chrono::milliseconds delay, std::function<void()> action) = 0;
  virtual void Cancel() = 0;
};

// The scheduler loads use unless given another: one shot of the toolkit's timer.
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

  SongLoader(PlayState& state, ClientRequests& requests, SongView& view,
             std::unique_ptr<RetryScheduler> scheduler = nullptr);
  ~SongLoader();
  SongLoader(const SongLoader&) = delete;
  SongLoader& operator=(const SongLoader&) = delete;

  // Abandons the load under way and starts loading the next song of ChannelId; returns at once.
  // An attempt whose answer does not parse is followed at once by a new one; after kMaxAttempts
  // failures the display says so, the countdown stops, and a new load follows after the retry
  // delay. An error of a picture or of the player ends the load and is shown in the default error
  // box; when it stops the first load to get an answer after a give-up, the countdown is started
  // again. The view hears how the load ended.
  void LoadNextSong();
  // Abandons the load under way, if any: its request is aborted, nothing more of it runs.
  void Abandon();
  // Whether a load is under way.
  bool Loading() const { return loading_; }
  // Whether the last load gave up and no load has started since.
  bool GivenUp() const { return given_up_; }

  // One countdown step: RemainingSeconds one lower, the progress value set, the time text.
  QString CountDown();
  // Hands CurrentSong.url to the player, starts it, the countdown and the disc's rotation.
  void StartPlayback();
  // Makes the drop-down's chosen channel the one the next load asks for.
  void ChannelChanged();
  // Drops the load that was to follow a given-up one. A pause calls it: that load stands in for
  // the countdown, which the pause stops, and a paused song never ends by itself.
  void CancelRetry();

 private:
  // Runs `step` with the arguments it is called with, unless the load it belongs to has been
  // abandoned since.
  template <class Step>
  auto InThisLoad(Step step);
  void StartAttempt();
  void PlaylistAnswered(const QString& text, std::exception_ptr error);
  void GiveUp(const QString& reason);
  // The step after the download of `picture` (its name in the log), which starts now: the load
  // ends on the download's error, else goes on with `next`.
  auto AfterPicture(const char* picture, void (SongLoader::*next)());
  void DownloadCover();
  void DownloadSingerPicture();
  void DownloadDisc();
  // Shows the song and starts it (unless held); the load ends.
  void FinishLoad();
  void ShowLoadedSong();
  // Ends the load on a picture's or the player's error, which the default error box shows.
  void Fail(std::exception_ptr error);
  void End(SongView::LoadEnd end);
  void RestartCountdownStoppedByGiveUp();

  PlayState& state_;
  ClientRequests& requests_;
  SongView& view_;
  std::unique_ptr<RetryScheduler> scheduler_;
  std::chrono::milliseconds next_retry_delay_ = kFirstRetryDelay;
  // Whether the countdown is off because the last load gave up, not started again since.
  bool countdown_stopped_by_give_up_ = false;

  // The load under way: its number (each start and abandon makes a new one), its request, its
  // attempt and the failure of its last playlist request.
  std::uint64_t load_number_ = 0;
  bool loading_ = false;
  bool given_up_ = false;
  ClientRequests::Id request_ = 0;
  int attempt_ = 0;
  std::chrono::steady_clock::time_point load_started_;
  std::chrono::steady_clock::time_point step_started_;  // of the picture download under way
};

}  // namespace orvelle
