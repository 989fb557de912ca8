#include "radio/song_loading.h"

#include "playback/media_player.h"
#include "radio/client_requests.h"
#include "radio/picture_download.h"
#include "service/json.h"
#include "service/log.h"
#include "service/service_text.h"
#include "toolkit/application.h"
#include "toolkit/network_wait.h"
#include "toolkit/timer.h"

#include <algorithm>
#include <limits>
#include <random>

namespace orvelle {
namespace {

constexpr int kFirstRequestSid = 1000000;
constexpr int kLastRequestSid = 9999998;

// One shot of the toolkit's timer, whose ticks are held while a request waits: a retry that
// falls due then runs after the waiting sequence, not inside it.
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

// The trimmed text parsed as one JSON object; throws with `what` named otherwise.
json::Value ParseObject(const QString& text, const char* what) {
  std::optional<json::Value> value = json::ParseJSONValue(TrimControlAndSpace(text));
  if (!value || value->kind != json::Kind::Object) {
    throw Error(QStringLiteral("%1 is not one JSON object").arg(QLatin1String(what)));
  }
  return std::move(*value);
}

const json::Value& Member(const json::Value& object, const char* name) {
  const json::Value* value = json::GetValue(object, QLatin1String(name));
  if (!value) throw Error(QStringLiteral("member \"%1\" is missing").arg(QLatin1String(name)));
  return *value;
}

// The member's text form without double quotes.
QString Unquoted(const json::Value& object, const char* name) { return json::ToString(Member(object, name)).remove(u'"'); }

QString WithPlainSlashes(QString text) { return text.replace(QStringLiteral("\\/"), QStringLiteral("/")); }

// The text with a space for each line break (CR LF, CR or LF): a failure's reason of several
// lines (a socket error's number, then its description) shown on the one line of a label.
QString OnOneLine(QString text) {
  return text.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\r', u' ').replace(u'\n', u' ');
}

// The text of the only element of the array member `name`, left in ResponseText as well.
json::Value OnlyElement(PlayState& state, const json::Value& object, const char* name, const char* what) {
  state.ResponseText = json::ToString(Member(object, name));
  state.ResponseText = WithoutEnds(state.ResponseText);
  return ParseObject(state.ResponseText, what);
}

void ReadSongFields(PlayState& state, const json::Value& song) {
  CurrentSongRecord& s = state.CurrentSong;
  s.albumtitle = Unquoted(song, "albumtitle");
  s.url = WithPlainSlashes(Unquoted(song, "url"));
  s.album = Unquoted(song, "album");
  s.file_ext = Unquoted(song, "file_ext");
  s.title = Unquoted(song, "title");
  s.picture = WithPlainSlashes(Unquoted(song, "picture"));
  s.update_time = Unquoted(song, "update_time");
  s.public_time = Unquoted(song, "public_time");
  s.length = Unquoted(song, "length");
  s.sid = Unquoted(song, "sid");
  s.ssid = Unquoted(song, "ssid");
}

}  // namespace

std::unique_ptr<RetryScheduler> MakeTimerRetryScheduler() { return std::make_unique<TimerRetryScheduler>(); }

QString PlaylistAddress(const QString& channel_id, const QString& request_sid) {
  return ServiceBase() + QStringLiteral("/j/v2/playlist?channel=") + channel_id +
         QStringLiteral("&kbps=128&client=s%3Amainsite%7Cy%3A3.0&app_name=radio_website&version=100&type=p&sid=") +
         request_sid + QStringLiteral("&pt=&pb=128&apikey=");
}

QString DrawRequestSid() {
  std::mt19937 generator(static_cast<std::mt19937::result_type>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count()));
  std::uniform_int_distribution<int> range(kFirstRequestSid, kLastRequestSid);
  return QString::number(range(generator));
}

void ParseSongAnswer(PlayState& state) {
  const json::Value answer = ParseObject(state.ResponseText, "the answer");
  const json::Value song = OnlyElement(state, answer, "song", "\"song\" minus its brackets");
  ReadSongFields(state, song);
  state.RemainingSeconds = TextToInt(state.CurrentSong.length);
  const json::Value singer = OnlyElement(state, song, "singers", "\"singers\" minus its brackets");
  state.CurrentSong.singer_name = Unquoted(singer, "name");
  state.CurrentSong.singer_avatar = WithPlainSlashes(Unquoted(singer, "avatar"));
}

SongLoader::SongLoader(PlayState& state, http::HttpClient& client, SongView& view,
                       std::unique_ptr<RetryScheduler> scheduler)
    : state_(state), client_(client), view_(view), scheduler_(std::move(scheduler)) {
  if (!scheduler_) scheduler_ = MakeTimerRetryScheduler();
}

SongLoader::~SongLoader() = default;

void SongLoader::LoadNextSong() {
  try {
    Load();
  } catch (const RequestAbandoned&) {
    qCDebug(lcLoad) << "load abandoned: the program is closing";
  }
}

void SongLoader::Load() {
  for (int attempt = 1;; ++attempt) {
    const QString reason = AttemptPlaylist();
    if (reason.isEmpty()) break;
    qCDebug(lcLoad) << "attempt" << attempt << "of" << kMaxAttempts << "failed:" << reason;
    if (attempt == kMaxAttempts) {
      GiveUp(reason);
      return;
    }
  }
  scheduler_->Cancel();
  next_retry_delay_ = kFirstRetryDelay;
  try {
    ShowLoadedSong();
  } catch (...) {
    RestartCountdownStoppedByGiveUp();
    throw;
  }
}

void SongLoader::RestartCountdownStoppedByGiveUp() {
  // A load that stops at a picture or the player leaves the countdown as it was, so that it runs
  // down the new song and the next load follows at zero. After a give-up it was stopped, and
  // nothing else would start a load again.
  if (!countdown_stopped_by_give_up_) return;
  countdown_stopped_by_give_up_ = false;
  qCDebug(lcLoad) << "load stopped by an error after a give-up: the countdown runs again";
  view_.SetCountdownEnabled(true);
}

QString SongLoader::AttemptPlaylist() {
  state_.CurrentSong.sid.clear();
  state_.CurrentSong.ssid.clear();
  const QString address = PlaylistAddress(state_.ChannelId, DrawRequestSid());
  QString request_failure;
  try {
    state_.ResponseText = GetText(client_, address);
  } catch (const RequestAbandoned&) {
    throw;
  } catch (const std::exception& error) {
    // Dropped: the parse works on what ResponseText still holds.
    qCDebug(lcLoad) << "playlist request failed:" << error.what();
    request_failure = OnOneLine(QString::fromUtf8(error.what()));
  }
  try {
    ParseSongAnswer(state_);
    return {};
  } catch (const std::exception& error) {
    qCDebug(lcLoad) << "playlist answer not understood:" << error.what();
  }
  return request_failure.isEmpty() ? QString::fromUtf16(kAnswerNotUnderstoodText) : request_failure;
}

void SongLoader::GiveUp(const QString& reason) {
  view_.SetTitleCaption(QString::fromUtf16(kNoStationText));
  view_.SetSingerCaption(reason);
  view_.SetTimeCaption(QString());
  // The audio already playing goes on, but the countdown must not run down a song that did not
  // load, nor start loads of its own before the retry.
  view_.SetCountdownEnabled(false);
  countdown_stopped_by_give_up_ = true;
  state_.RemainingSeconds = 0;
  qCDebug(lcLoad) << "gave up after" << kMaxAttempts << "attempts; next load in" << next_retry_delay_.count() << "ms";
  scheduler_->Schedule(next_retry_delay_, [this] { Application::RunGuarded([this] { LoadNextSong(); }); });
  next_retry_delay_ = std::min(next_retry_delay_ * 2, kMaxRetryDelay);
}

void SongLoader::ShowLoadedSong() {
  DownloadPicture(client_, view_.CoverPicture(), state_.CurrentSong.picture);
  DownloadPicture(client_, view_.SingerPicture(), state_.CurrentSong.singer_avatar);
  DownloadDiscPicture(client_, view_.DiscPicture(), state_.CurrentSong.picture);
  view_.SetTitleCaption(state_.CurrentSong.title);
  view_.SetSingerCaption(state_.CurrentSong.singer_name);
  view_.SetTimeCaption(CountDown());
  view_.SetProgressMaxValue(TextToInt(state_.CurrentSong.length));
  view_.SetProgressMinValue(0);
  StartPlayback();
}

QString SongLoader::CountDown() {
  // The lowest count stays where it is: a count that has run out stays run out, so that the next
  // tick loads the next song, instead of wrapping round to the highest.
  if (state_.RemainingSeconds > std::numeric_limits<qint32>::min()) --state_.RemainingSeconds;
  const qint32 remaining = state_.RemainingSeconds;
  view_.SetProgressValue(static_cast<int>(static_cast<qint64>(TextToInt(state_.CurrentSong.length)) - remaining));
  return QString::asprintf("- %d :%.2d", remaining / 60, remaining % 60);
}

void SongLoader::StartPlayback() {
  if (!state_.MediaPlayer) throw Error(QStringLiteral("The media player could not be created"));
  state_.MediaPlayer->SetURL(state_.CurrentSong.url);
  state_.MediaPlayer->Play();
  view_.SetCountdownEnabled(true);
  countdown_stopped_by_give_up_ = false;
  view_.SetDiscRotating(true);
  state_.IsPlaying = 1;
}

void SongLoader::ChannelChanged() { state_.ChannelId = view_.ChosenChannelDetail(); }

void SongLoader::CancelRetry() {
  if (countdown_stopped_by_give_up_) qCDebug(lcLoad) << "paused after a give-up: the next load waits for the resume";
  scheduler_->Cancel();
}

}  // namespace orvelle
