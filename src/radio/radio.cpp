#include "radio/radio.h"

#include "radio/lyrics_request.h"
#include "service/error.h"
#include "service/log.h"
#include "service/service_text.h"
#include "toolkit/application.h"

#include <algorithm>
#include <limits>
#include <random>

namespace orvelle {
namespace {

// The delays before the tries that follow the first, second, third and every later give-up in a
// row.
constexpr std::chrono::milliseconds kRetryDelays[] = {std::chrono::milliseconds{5000}, std::chrono::milliseconds{10000},
                                                      std::chrono::milliseconds{20000},
                                                      std::chrono::milliseconds{30000}};
constexpr double kLeastJitter = 0.8;
constexpr double kMostJitter = 1.2;

// One shot of the toolkit's timer.
class TimerRetryScheduler : public RetryScheduler {
 public:
  TimerRetryScheduler() {
    timer_.SetEnabled(false);
    QObject::connect(&timer_, &Timer::OnTimer, [this] {
      timer_.SetEnabled(false);
      if (action_) std::exchange(action_, {})();
    });
  }
  void Schedule(std::chrono::milliseconds delay, std::function<void()> action) override {
    action_ = std::move(action);
    timer_.SetEnabled(false);
    timer_.SetInterval(static_cast<int>(delay.count()));
    timer_.SetEnabled(true);
  }
  void Cancel() override {
    timer_.SetEnabled(false);
    action_ = {};
  }

 private:
  Timer timer_;
  std::function<void()> action_;
};

double DrawJitter() {
  static std::mt19937 generator{std::random_device{}()};
  return std::uniform_real_distribution<double>(kLeastJitter, kMostJitter)(generator);
}

// A player's failure in a few words.
QString PlayerFailureReason(PlaybackFailure::Kind kind) {
  switch (kind) {
    case PlaybackFailure::Kind::CannotOpen:
      return QStringLiteral("歌曲无法打开");
    case PlaybackFailure::Kind::HttpError:
      return QStringLiteral("歌曲无法获取");
    case PlaybackFailure::Kind::NotDecodable:
      return QStringLiteral("歌曲无法解码");
    case PlaybackFailure::Kind::Stalled:
      return QStringLiteral("歌曲没有数据");
  }
  return QStringLiteral("歌曲无法播放");
}

}  // namespace

std::unique_ptr<RetryScheduler> MakeTimerRetryScheduler() { return std::make_unique<TimerRetryScheduler>(); }

std::chrono::milliseconds RetryDelay(int give_ups, double jitter) {
  const int index = std::clamp(give_ups - 1, 0, static_cast<int>(std::size(kRetryDelays)) - 1);
  const auto jittered = std::chrono::milliseconds{
      static_cast<long long>(static_cast<double>(kRetryDelays[index].count()) * std::clamp(jitter, kLeastJitter, kMostJitter))};
  return std::min(jittered, kLongestRetryDelay);
}

Radio::Radio(MediaPlayerFactory make_player, std::unique_ptr<RetryScheduler> scheduler, QObject* parent)
    : QObject(parent),
      make_player_(std::move(make_player)),
      requests_(http_),
      loader_(requests_, {.failed = [this](const AttemptFailure& failure) { AttemptFailed(failure); },
                          .arrived = [this] { SongArrived(); }}),
      scheduler_(std::move(scheduler)),
      unseen_count_([this] { return TakeCountdownStep(); }, [this] { return CountdownStepsToRunOut(); }) {
  if (!scheduler_) scheduler_ = MakeTimerRetryScheduler();
  countdown_.SetInterval(kCountdownMilliseconds);
  countdown_.SetEnabled(false);
  connect(&countdown_, &Timer::OnTimer, this, [this] { Application::RunGuarded([this] { CountdownTick(); }); });
  retry_count_.setInterval(kCountdownMilliseconds);
  connect(&retry_count_, &QTimer::timeout, this, &Radio::CountdownMoved);
}

Radio::~Radio() {
  loader_.Abandon();
  CancelLyrics();
  scheduler_->Cancel();
}

const RadioState& Radio::State() const {
  // Read while nobody sees the countdown, the count is brought up to the present first.
  unseen_count_.CatchUpWithoutLoading();
  return state_;
}

std::int64_t Radio::PlayerPositionMicroseconds() const { return player_ ? player_->PositionMicroseconds() : 0; }

MediaPlayer& Radio::Player() const {
  if (!player_) throw Error(QStringLiteral("The media player could not be created"));
  return *player_;
}

void Radio::CreatePlayer() {
  try {
    player_ = make_player_();
  } catch (const Error& error) {
    qCWarning(lcPlayer) << "the media player could not be created:" << error.Message();
    throw;
  }
  player_->SetFailureHandler([this](const PlaybackFailure& failure) {
    Application::RunGuarded([this, failure] { PlayerFailed(failure); });
  });
  state_.volume = player_->Volume();
}

void Radio::Start() { LoadNextSong(LoadCause::Listener); }

// ---- the cycle ----

void Radio::LoadNextSong(LoadCause cause) {
  loader_.Abandon();
  // A load that starts stands in for the try a give-up scheduled.
  scheduler_->Cancel();
  retry_count_.stop();
  if (cause == LoadCause::Listener || cause == LoadCause::SongEnded) {
    failed_attempts_ = 0;
    give_ups_ = 0;
  }
  if (cause == LoadCause::Listener || cause == LoadCause::Retry) state_.play_wanted = true;
  SetPhase(PlayPhase::Loading);
  loader_.Load(state_.channel_id);
}

void Radio::AttemptFailed(const AttemptFailure& failure) {
  ++failed_attempts_;
  qCDebug(lcLoad).noquote() << "attempt" << failed_attempts_ << "of" << kMaxAttempts << "failed:" << failure.detail;
  if (failed_attempts_ >= kMaxAttempts) return GiveUp(failure.reason);
  loader_.Load(state_.channel_id);
}

void Radio::SongArrived() {
  const CurrentSongRecord& song = loader_.Song();
  // The player takes the song first: a song it refuses is not shown, and counts as a failed attempt.
  try {
    Player().SetURL(song.url);
    if (state_.play_wanted) Player().Play();
  } catch (...) {
    const AttemptFailure failure{QStringLiteral("歌曲无法播放"), ReasonForLog(std::current_exception())};
    qCWarning(lcPlayer).noquote() << "the player refused the song:" << failure.detail;
    state_.audio_playing = false;
    return AttemptFailed(failure);
  }
  ShowArrivedSong();
}

void Radio::ShowArrivedSong() {
  state_.song = loader_.Song();
  ++state_.song_number;
  state_.length_seconds = TextToInt(state_.song.length);
  state_.remaining_seconds = state_.length_seconds;
  state_.give_up_reason.clear();
  cover_.Assign(&loader_.Cover());
  singer_picture_.Assign(&loader_.SingerPicture());
  // The song starts with one step taken: a song of length L shows L-1 at once.
  if (state_.remaining_seconds > std::numeric_limits<qint32>::min()) --state_.remaining_seconds;
  state_.audio_playing = state_.play_wanted;
  RunCountdown(state_.play_wanted);
  qCDebug(lcLoad) << "song" << state_.song_number << (state_.play_wanted ? "plays" : "shown paused");
  emit SongShown();
  SetPhase(state_.play_wanted ? PlayPhase::Playing : PlayPhase::Paused);
  emit CountdownMoved();
}

void Radio::PlayerFailed(const PlaybackFailure& failure) {
  qCWarning(lcPlayer).noquote() << "the player cannot play" << AddressForLog(state_.song.url) << ":" << failure.reason;
  const bool song_in_player = state_.phase == PlayPhase::Playing || state_.phase == PlayPhase::Paused;
  state_.audio_playing = false;
  if (!song_in_player) {
    // The song before a load under way, or one already given up or stopped: nothing follows.
    AnnouncePhase();
    return;
  }
  RunCountdown(false);
  ++failed_attempts_;
  qCDebug(lcLoad) << "attempt" << failed_attempts_ << "of" << kMaxAttempts << "failed in the player";
  if (failed_attempts_ >= kMaxAttempts) return GiveUp(PlayerFailureReason(failure.kind));
  LoadNextSong(LoadCause::PlayerFailed);
}

void Radio::GiveUp(const QString& reason) {
  ++give_ups_;
  const std::chrono::milliseconds delay = RetryDelay(give_ups_, DrawJitter());
  qCWarning(lcLoad).noquote() << "gave up after" << failed_attempts_ << "failed attempts:" << reason << "- next try in"
                              << delay.count() / 1000.0 << "s";
  if (player_) {
    try {
      player_->Stop();
    } catch (const Error& error) {
      qCWarning(lcPlayer) << "stopping the player after a give-up failed:" << error.Message();
    }
  }
  state_.audio_playing = false;
  RunCountdown(false);
  ClearSong();
  state_.give_up_reason = reason;
  state_.next_try = RadioState::Clock::now() + delay;
  scheduler_->Schedule(delay, [this] { Application::RunGuarded([this] { LoadNextSong(LoadCause::Retry); }); });
  if (seen_) retry_count_.start();
  SetPhase(PlayPhase::GivenUp);
  emit CountdownMoved();
}

void Radio::ClearSong() {
  state_.song = CurrentSongRecord();
  state_.remaining_seconds = 0;
  state_.length_seconds = 0;
  cover_.Assign(static_cast<const PictureContainer*>(nullptr));
  singer_picture_.Assign(static_cast<const PictureContainer*>(nullptr));
}

// ---- the countdown ----

void Radio::CountdownTick() {
  if (unseen_count_.Active()) {
    unseen_count_.Tick(countdown_);
    return;
  }
  unseen_count_.NoteSeenTick(countdown_);
  TakeCountdownStep();
}

bool Radio::TakeCountdownStep() {
  // A load under way has the next song on its way; the count waits for it.
  if (loader_.Loading()) return false;
  if (state_.remaining_seconds <= 0) {
    LoadNextSong(LoadCause::SongEnded);
    return false;
  }
  CountDown();
  // The player has come some way into the song: it plays, and failures start counting anew.
  if (PlayerPositionMicroseconds() > 0) {
    failed_attempts_ = 0;
    give_ups_ = 0;
  }
  return true;
}

void Radio::CountDown() {
  // The lowest count stays where it is: a count that has run out stays run out, so that the next
  // tick loads the next song, instead of wrapping round to the highest.
  if (state_.remaining_seconds > std::numeric_limits<qint32>::min()) --state_.remaining_seconds;
  emit CountdownMoved();
}

int Radio::CountdownStepsToRunOut() const {
  // The count runs down to zero, and the step after zero loads the next song.
  return state_.remaining_seconds > 0 ? state_.remaining_seconds + 1 : 1;
}

void Radio::RunCountdown(bool run) {
  if (!run) unseen_count_.CatchUpWithoutLoading();
  countdown_.SetEnabled(run);
  if (run) unseen_count_.Restart(countdown_);
}

void Radio::SetSeen(bool seen) {
  seen_ = seen;
  if (seen) {
    unseen_count_.End(countdown_);
  } else {
    unseen_count_.Begin(countdown_);
  }
  // The count to the next try moves only for whoever sees it.
  if (state_.phase != PlayPhase::GivenUp) return;
  if (seen) {
    retry_count_.start();
    emit CountdownMoved();
  } else {
    retry_count_.stop();
  }
}

// ---- the listener's input ----

void Radio::PlayPause() {
  if (state_.OffersPause()) {
    Pause();
  } else {
    Resume();
  }
}

void Radio::Pause() {
  if (state_.phase == PlayPhase::Playing) {
    Player().Pause();
    state_.audio_playing = false;
    state_.play_wanted = false;
    RunCountdown(false);
    SetPhase(PlayPhase::Paused);
  } else if (state_.phase == PlayPhase::Loading && state_.play_wanted) {
    // The song on its way is shown, not started; the one before stops now.
    if (state_.audio_playing) Player().Pause();
    state_.audio_playing = false;
    state_.play_wanted = false;
    RunCountdown(false);
    AnnouncePhase();
  }
}

void Radio::Resume() {
  switch (state_.phase) {
    case PlayPhase::Paused:
      Player().Play();
      break;
    case PlayPhase::Stopped:
      if (!state_.HasSong()) return LoadNextSong(LoadCause::Listener);
      Player().SetURL(state_.song.url);
      Player().Play();
      break;
    case PlayPhase::Loading:
      // The song on its way starts when it comes.
      state_.play_wanted = true;
      AnnouncePhase();
      return;
    case PlayPhase::GivenUp:
      qCDebug(lcLoad) << "the listener asks for music after a give-up: the next try comes now";
      return LoadNextSong(LoadCause::Listener);
    case PlayPhase::Playing:
      return;
  }
  state_.audio_playing = true;
  state_.play_wanted = true;
  RunCountdown(true);
  SetPhase(PlayPhase::Playing);
}

void Radio::Next() { LoadNextSong(LoadCause::Listener); }

void Radio::Stop() {
  loader_.Abandon();
  scheduler_->Cancel();
  retry_count_.stop();
  if (player_) Player().Stop();
  state_.audio_playing = false;
  state_.play_wanted = false;
  RunCountdown(false);
  if (state_.HasSong()) {
    // The song plays again from its beginning: the count stands where a new song's stands.
    state_.remaining_seconds = state_.length_seconds - 1;
    emit CountdownMoved();
  }
  SetPhase(PlayPhase::Stopped);
}

void Radio::ChooseChannel(const QString& channel_id) { state_.channel_id = channel_id; }

// ---- volume and mute ----

int Radio::PlayerVolume() {
  const int volume = Player().Volume();
  if (volume != state_.volume) {
    state_.volume = volume;
    emit VolumeChanged();
  }
  return volume;
}

void Radio::SetVolume(int volume) {
  Player().SetVolume(volume);
  if (volume == state_.volume) return;
  state_.volume = volume;
  emit VolumeChanged();
}

void Radio::ToggleMute() {
  if (!state_.muted) {
    const int before = Player().Volume();
    Player().SetVolume(0);
    state_.saved_volume = before;
    state_.muted = true;
    state_.volume = 0;
  } else {
    Player().SetVolume(state_.saved_volume);
    state_.muted = false;
    state_.volume = state_.saved_volume;
  }
  emit VolumeChanged();
}

void Radio::RestoreMuted(int heard) {
  Player().SetVolume(0);
  state_.saved_volume = heard;
  state_.muted = true;
  state_.volume = 0;
  emit VolumeChanged();
}

void Radio::LeaveMuted() {
  if (!state_.muted) return;
  state_.muted = false;
  emit VolumeChanged();
}

// ---- lyrics and the end ----

void Radio::RequestLyrics(std::function<void(const LyricsAnswer&)> done) {
  CancelLyrics();
  lyrics_request_ = orvelle::RequestLyrics(state_.song, requests_, [this, done = std::move(done)](const LyricsAnswer& answer) {
    lyrics_request_ = 0;
    done(answer);
  });
}

void Radio::CancelLyrics() {
  if (lyrics_request_ != 0) requests_.Cancel(std::exchange(lyrics_request_, 0));
}

void Radio::Shutdown() {
  loader_.Abandon();
  CancelLyrics();
  scheduler_->Cancel();
  retry_count_.stop();
  countdown_.SetEnabled(false);
  if (!player_) {
    qCDebug(lcPlayer) << "closing without a media player";
    return;
  }
  try {
    player_->Stop();
  } catch (const std::exception& error) {
    qCDebug(lcPlayer) << "stopping the player at close failed:" << error.what();
  }
}

// ---- announcements ----

void Radio::SetPhase(PlayPhase phase) {
  state_.phase = phase;
  AnnouncePhase();
}

void Radio::AnnouncePhase() {
  const PhaseSeen now{state_.phase, state_.play_wanted, state_.audio_playing};
  if (now == announced_phase_) return;
  announced_phase_ = now;
  emit PhaseChanged();
}

}  // namespace orvelle
