#include "radio/song_loading.h"

#include "radio/picture_download.h"
#include "radio/service_answers.h"
#include "service/http/http_error.h"
#include "service/http/url.h"
#include "service/json.h"
#include "service/log.h"
#include "service/service_text.h"
#include "toolkit/application.h"

#include <cerrno>
#include <random>

namespace orvelle {
namespace {

constexpr int kFirstRequestSid = 1000000;
constexpr int kLastRequestSid = 9999998;

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
// lines (a socket error's number, then its description) on one line of the log.
QString OnOneLine(QString text) {
  return text.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\r', u' ').replace(u'\n', u' ');
}

// The only element of the array member `name`, which must be an object.
const json::Value& OnlyElement(const json::Value& object, const char* name) {
  const json::Value& array = Member(object, name);
  if (array.kind != json::Kind::Array || array.elements.size() != 1 ||
      array.elements.front().kind != json::Kind::Object) {
    throw Error(QStringLiteral("\"%1\" is not an array of one JSON object").arg(QLatin1String(name)));
  }
  return array.elements.front();
}

long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

void ReadSongFields(CurrentSongRecord& s, const json::Value& song) {
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

// A socket error in a few words, by its number (name look-up failures have numbers below 0).
QString SocketReason(int number) {
  if (number < 0) return QStringLiteral("找不到服务器");
  switch (number) {
    case ECONNREFUSED:
      return QStringLiteral("连接被拒绝");
    case ETIMEDOUT:
      return QStringLiteral("连接超时");
    case ENETUNREACH:
    case EHOSTUNREACH:
      return QStringLiteral("网络不可达");
    default:
      return QStringLiteral("网络错误 %1").arg(number);
  }
}

}  // namespace

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

CurrentSongRecord ParseSongAnswer(const QString& answer) {
  const json::Value root = ParseObject(answer, "the answer");
  const json::Value& song = OnlyElement(root, "song");
  CurrentSongRecord record;
  ReadSongFields(record, song);
  TextToInt(record.length);  // the length must be a whole number
  const json::Value& singer = OnlyElement(song, "singers");
  record.singer_name = FieldText(singer, "name");
  record.singer_avatar = FieldText(singer, "avatar");
  return record;
}

QString ShortReason(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const http::SocketError& failure) {
    return SocketReason(failure.LastError());
  } catch (const http::HttpProtocolError& failure) {
    return QStringLiteral("服务器错误 %1").arg(failure.ErrorCode());
  } catch (const Error& failure) {
    if (failure.Message() == QLatin1String(http::kReadTimedOut)) return QStringLiteral("连接超时");
    if (failure.Message().startsWith(QLatin1String(http::kSslConnectFailed))) return QStringLiteral("安全连接失败");
    if (dynamic_cast<const http::HttpError*>(&failure)) return QStringLiteral("网络错误");
    return QString::fromUtf16(kAnswerNotUnderstoodText);
  } catch (...) {
    return QStringLiteral("网络错误");
  }
}

QString ReasonForLog(std::exception_ptr error) {
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

SongLoader::SongLoader(ClientRequests& requests, Outcome outcome)
    : requests_(requests), outcome_(std::move(outcome)) {}

SongLoader::~SongLoader() { Abandon(); }

template <class Step>
auto SongLoader::InThisAttempt(Step step) {
  return [this, attempt = attempt_number_, step = std::move(step)](auto&&... arguments) {
    if (attempt != attempt_number_ || !loading_) return;
    step(std::forward<decltype(arguments)>(arguments)...);
  };
}

void SongLoader::Abandon() {
  ++attempt_number_;
  if (request_ != 0) requests_.Cancel(std::exchange(request_, 0));
  if (loading_) qCDebug(lcLoad) << "load abandoned";
  loading_ = false;
}

void SongLoader::Load(const QString& channel_id) {
  Abandon();
  loading_ = true;
  started_ = std::chrono::steady_clock::now();
  const QString address = PlaylistAddress(channel_id, DrawRequestSid());
  request_ = requests_.GetText(address, InThisAttempt([this](const QString& text, std::exception_ptr error) {
                                 request_ = 0;
                                 PlaylistAnswered(text, error);
                               }));
}

void SongLoader::PlaylistAnswered(const QString& text, std::exception_ptr error) {
  if (error) {
    const AttemptFailure failure{ShortReason(error), ReasonForLog(error)};
    qCWarning(lcLoad).noquote() << "playlist request failed:" << failure.detail;
    return Fail(failure);
  }
  try {
    song_ = ParseSongAnswer(text);
  } catch (...) {
    const AttemptFailure failure{ShortReason(std::current_exception()), ReasonForLog(std::current_exception())};
    qCWarning(lcLoad).noquote() << "playlist answer not understood:" << failure.detail;
    return Fail(failure);
  }
  qCDebug(lcLoad) << "playlist answered after" << MillisecondsSince(started_) << "ms";
  DownloadCover();
}

auto SongLoader::AfterPicture(const char* picture, void (SongLoader::*next)()) {
  step_started_ = std::chrono::steady_clock::now();
  return InThisAttempt([this, picture, next](std::exception_ptr error) {
    request_ = 0;
    qCDebug(lcLoad).nospace() << picture << " picture in after " << MillisecondsSince(started_) << " ms ("
                              << MillisecondsSince(step_started_) << " ms for its request and decoding)";
    if (error) {
      // The picture stays empty and its error is shown; the song comes all the same.
      qCWarning(lcPicture).noquote() << "the" << picture << "picture cannot be shown:" << ReasonForLog(error);
      Application::HandleException(error);
    }
    (this->*next)();
  });
}

void SongLoader::DownloadCover() {
  request_ = DownloadPicture(requests_, cover_, PictureAddress(song_.picture), AfterPicture("cover", &SongLoader::DownloadSingerPicture));
}

void SongLoader::DownloadSingerPicture() {
  request_ = DownloadPicture(requests_, singer_picture_, PictureAddress(song_.singer_avatar),
                             AfterPicture("singer", &SongLoader::LeaveDiscSettings));
}

void SongLoader::LeaveDiscSettings() {
  request_ = LeaveDiscPictureSettings(requests_, InThisAttempt([this] {
                                        request_ = 0;
                                        Arrive();
                                      }));
}

void SongLoader::Arrive() {
  loading_ = false;
  qCDebug(lcLoad) << "song in after" << MillisecondsSince(started_) << "ms";
  outcome_.arrived();
}

void SongLoader::Fail(const AttemptFailure& failure) {
  loading_ = false;
  outcome_.failed(failure);
}

}  // namespace orvelle
