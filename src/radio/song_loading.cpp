#include "radio/song_loading.h"

#include "playback/media_player.h"
#include "radio/picture_download.h"
#include "radio/service_answers.h"
#include "service/http/url.h"
#include "service/json.h"
#include "service/log.h"
#include "service/service_text.h"
#include "toolkit/application.h"
#include "toolkit/timer.h"

#include <algorithm>
#include <limits>
#include <random>

namespace orvelle {
namespace {

constexpr int kFirstRequestSid = 1000000;
constexpr int kLastRequestSid = 9999998;

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

// The member's text: a string's value, any other value's text form without double quotes.
QString FieldText(const json::Value& object, const char* name) { return ValueText(Member(object, name)); }

// The text with a space for each line break (CR LF, CR or LF): a failure's reason of several
// lines (a socket error's number, then its description) shown on the one line of a label.
QString OnOneLine(QString text) {
  return text.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\r', u' ').replace(u'\n', u' ');
}

// The only element of the array member `name`, which must be an object. The member's text form
// without its brackets is left in ResponseText, as the intermediate text of the parse.
const json::Value& OnlyElement(PlayState& state, const json::Value& object, const char* name, const char* what) {
  const json::Value& array = Member(object, name);
  state.ResponseText = WithoutEnds(json::ToString(array));
  if (array.kind != json::Kind::Array || array.elements.size() != 1 ||
      array.elements.front().kind != json::Kind::Object) {
    throw Error(QStringLiteral("%1 is not one JSON object").arg(QLatin1String(what)));
  }
  return array.elements.front();
}

long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// The text of a failure, on one line.
QString ReasonOf(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const Error& failure) {
    return OnOneLine(failure.Message());
  } catch (const std::exception& failure) {
    return OnOneLine(QString::fromUtf8(failure.what()));
  } catch (...) {
    return QStringLiteral("unknown failure");
  }
}

void ReadSongFields(PlayState& state, const json::Value& song) {
  CurrentSongRecord& s = state.CurrentSong;
  s.albumtitle = FieldText(song, "albumtitle");
  s.url = FieldText(song, "url");
  s.album = FieldText(song, "album");
  s.file_ext = FieldText(song, "file_ext");
  s.title = FieldText(song, "title");
  s.picture = FieldText(song, "picture");
  s.update_time = FieldText(song, "update_time");
  s.public_time = FieldText(song, "public_time");
  s.length = FieldText(song, "length");
  s.sid = FieldText(song, "sid");
  s.ssid = FieldText(song, "ssid");
}

// A picture address of the playlist answer resolved against the playlist request's address, as
// a browser resolves a link: "//host/x.jpg" takes its scheme, "/x.jpg" its scheme and host. The
// request's query (channel and request number) never matters to an address with a path of its
// own. One that resolves to no http or https address goes to the download as written, which
// refuses it.
QString PictureAddress(const QString& written) {
  return http::ResolveHttpAddress(PlaylistAddress(QString(), QString()), written).value_or(written);
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
  const json::Value& song = OnlyElement(state, answer, "song", "\"song\" minus its brackets");
  ReadSongFields(state, song);
  state.RemainingSeconds = TextToInt(state.CurrentSong.length);
  const json::Value& singer = OnlyElement(state, song, "singers", "\"singers\" minus its brackets");
  state.CurrentSong.singer_name = FieldText(singer, "name");
  state.CurrentSong.singer_avatar = FieldText(singer, "avatar");
}

SongLoader::SongLoader(PlayState& state, ClientRequests& requests, SongView& view,
                       std::unique_ptr<RetryScheduler> scheduler)
    : state_(state), requests_(requests), view_(view), scheduler_(std::move(scheduler)) {
  if (!scheduler_) scheduler_ = MakeTimerRetryScheduler();
}

SongLoader::~SongLoader() { Abandon(); }

template <class Step>
auto SongLoader::InThisLoad(Step step) {
  return [this, load = load_number_, step = std::move(step)](auto&&... arguments) {
    if (load != load_number_ || !loading_) return;
    step(std::forward<decltype(arguments)>(arguments)...);
  };
}

void SongLoader::Abandon() {
  ++load_number_;
  if (request_ != 0) requests_.Cancel(std::exchange(request_, 0));
  if (loading_) qCDebug(lcLoad) << "load abandoned";
  loading_ = false;
}

void SongLoader::LoadNextSong() {
  Abandon();
  // A load that starts stands in for the one a give-up scheduled.
  scheduler_->Cancel();
  loading_ = true;
  given_up_ = false;
  attempt_ = 1;
  load_started_ = std::chrono::steady_clock::now();
  StartAttempt();
}

void SongLoader::StartAttempt() {
  state_.CurrentSong.sid.clear();
  state_.CurrentSong.ssid.clear();
  const QString address = PlaylistAddress(state_.ChannelId, DrawRequestSid());
  request_ = requests_.GetText(address, InThisLoad([this](const QString& text, std::exception_ptr error) {
                                 request_ = 0;
                                 PlaylistAnswered(text, error);
                               }));
}

void SongLoader::PlaylistAnswered(const QString& text, std::exception_ptr error) {
  QString request_failure;
  if (error) {
    // Dropped: the parse works on what ResponseText still holds.
    request_failure = ReasonOf(error);
    qCWarning(lcLoad).noquote() << "playlist request failed:" << request_failure;
  } else {
    state_.ResponseText = text;
  }
  QString reason;
  try {
    ParseSongAnswer(state_);
  } catch (const std::exception& failure) {
    qCWarning(lcLoad) << "playlist answer not understood:" << failure.what();
    reason = request_failure.isEmpty() ? QString::fromUtf16(kAnswerNotUnderstoodText) : request_failure;
  }
  if (reason.isEmpty()) {
    qCDebug(lcLoad) << "playlist answered after" << MillisecondsSince(load_started_) << "ms";
    scheduler_->Cancel();
    next_retry_delay_ = kFirstRetryDelay;
    DownloadCover();
    return;
  }
  qCDebug(lcLoad) << "attempt" << attempt_ << "of" << kMaxAttempts << "failed:" << reason;
  if (attempt_ == kMaxAttempts) {
    GiveUp(reason);
    return;
  }
  ++attempt_;
  StartAttempt();
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

void SongLoader::GiveUp(const QString& reason) {
  view_.SetTitleCaption(QString::fromUtf16(kNoStationText));
  view_.SetSingerCaption(reason);
  view_.SetTimeCaption(QString());
  // The countdown must not run down a song that did not load, nor start loads of its own before
  // the retry.
  view_.SetCountdownEnabled(false);
  countdown_stopped_by_give_up_ = true;
  state_.RemainingSeconds = 0;
  qCWarning(lcLoad).noquote() << "gave up after" << kMaxAttempts << "attempts:" << reason << "- next load in"
                              << next_retry_delay_.count() / 1000.0 << "s";
  scheduler_->Schedule(next_retry_delay_, [this] { Application::RunGuarded([this] { LoadNextSong(); }); });
  next_retry_delay_ = std::min(next_retry_delay_ * 2, kMaxRetryDelay);
  given_up_ = true;
  End(SongView::LoadEnd::GaveUp);
}

auto SongLoader::AfterPicture(const char* picture, void (SongLoader::*next)()) {
  step_started_ = std::chrono::steady_clock::now();
  return InThisLoad([this, picture, next](std::exception_ptr error) {
    request_ = 0;
    qCDebug(lcLoad).nospace() << picture << " picture in after " << MillisecondsSince(load_started_) << " ms ("
                              << MillisecondsSince(step_started_) << " ms for its request and decoding)";
    if (error) return Fail(error);
    (this->*next)();
  });
}

void SongLoader::DownloadCover() {
  request_ = DownloadPicture(requests_, view_.CoverPicture(), PictureAddress(state_.CurrentSong.picture),
                             AfterPicture("cover", &SongLoader::DownloadSingerPicture));
}

void SongLoader::DownloadSingerPicture() {
  request_ = DownloadPicture(requests_, view_.SingerPicture(), PictureAddress(state_.CurrentSong.singer_avatar),
                             AfterPicture("singer", &SongLoader::DownloadDisc));
}

void SongLoader::DownloadDisc() {
  request_ = DownloadDiscPicture(requests_, view_.DiscPicture(), PictureAddress(state_.CurrentSong.picture),
                                 AfterPicture("disc", &SongLoader::FinishLoad));
}

void SongLoader::FinishLoad() {
  try {
    ShowLoadedSong();
  } catch (...) {
    return Fail(std::current_exception());
  }
  End(SongView::LoadEnd::SongShown);
}

void SongLoader::ShowLoadedSong() {
  view_.SetTitleCaption(state_.CurrentSong.title);
  view_.SetSingerCaption(state_.CurrentSong.singer_name);
  view_.SetTimeCaption(CountDown());
  view_.SetProgressMaxValue(TextToInt(state_.CurrentSong.length));
  view_.SetProgressMinValue(0);
  if (view_.PlaybackHeld()) {
    // Paused while the song came: it is opened, and the resume plays it.
    if (!state_.MediaPlayer) throw Error(QStringLiteral("The media player could not be created"));
    state_.MediaPlayer->SetURL(state_.CurrentSong.url);
    countdown_stopped_by_give_up_ = false;
    qCDebug(lcLoad) << "song shown paused after" << MillisecondsSince(load_started_) << "ms";
    return;
  }
  const auto handing_over = std::chrono::steady_clock::now();
  StartPlayback();
  qCDebug(lcLoad) << "song started after" << MillisecondsSince(load_started_) << "ms (the player took"
                  << MillisecondsSince(handing_over) << "ms)";
}

void SongLoader::Fail(std::exception_ptr error) {
  qCWarning(lcLoad).noquote() << "the song could not be shown or played:" << ReasonOf(error);
  RestartCountdownStoppedByGiveUp();
  End(SongView::LoadEnd::Failed);
  Application::HandleException(error);
}

void SongLoader::End(SongView::LoadEnd end) {
  loading_ = false;
  request_ = 0;
  view_.LoadEnded(end);
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
  if (given_up_) qCDebug(lcLoad) << "paused after a give-up: the next load waits for the resume";
  scheduler_->Cancel();
}

}  // namespace orvelle
