#include "playback/mpv_media_player.h"

#include "playback/mpv_library.h"

#include "service/error.h"
#include "service/log.h"

#include <mpv/client.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QMetaObject>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <vector>

namespace orvelle {
namespace {

// The trust store for HTTPS audio addresses when SSL_CERT_FILE does not name one.
constexpr char kSystemCaBundle[] = "/etc/ssl/certs/ca-certificates.crt";
// The loudest volume the player plays at; values above 100 amplify. libmpv itself takes volumes
// far beyond its "volume-max" when they are set directly, so SetVolume keeps to this range too.
constexpr int kVolumeMax = 200;
// The least important of the player's own log messages that reach our log.
constexpr char kPlayerLogLevel[] = "warn";
// The events the player reports to us; every other event is switched off, so that libmpv does not
// wake the user-interface thread for what nothing here reads.
constexpr mpv_event_id kReportedEvents[] = {MPV_EVENT_LOG_MESSAGE, MPV_EVENT_END_FILE};

const MpvLibrary& Mpv() { return MpvLibrary::Get(); }

// Throws the player's failure as the program's error: what was being done, and libmpv's reason.
void Check(int status, const QString& action) {
  if (status >= 0) return;
  const QString reason = QString::fromUtf8(Mpv().error_string(status));
  qCDebug(lcPlayer).noquote() << "could not" << action << "-" << reason;
  throw Error(QStringLiteral("The media player could not %1: %2").arg(action, reason));
}

// The address with its scheme in lower case, the form the player recognises; throws when the
// scheme is not "http" or "https" (compared without regard to case). The address comes from the
// service's answer, and the player would also open local files, file descriptors and its own
// generating and filtering protocols.
QString NetworkAddress(const QString& url) {
  const qsizetype end = url.indexOf(QLatin1String("://"));
  const QString scheme = end < 0 ? QString() : url.left(end).toLower();
  if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
    qCDebug(lcPlayer).noquote() << "refused to open" << AddressForLog(url) << "- not an HTTP or HTTPS address";
    throw Error(QStringLiteral("The media player could not open %1: not an HTTP or HTTPS address").arg(url));
  }
  return scheme + url.mid(end);
}

QByteArray CaFile() {
  const QByteArray fromEnvironment = qgetenv("SSL_CERT_FILE");
  return fromEnvironment.isEmpty() ? QByteArray(kSystemCaBundle) : fromEnvironment;
}

}  // namespace

void MpvMediaPlayer::HandleDeleter::operator()(mpv_handle* handle) const {
  // No wake-up may arrive once the handle is being torn down.
  Mpv().set_wakeup_callback(handle, nullptr, nullptr);
  Mpv().terminate_destroy(handle);
}

MpvMediaPlayer::MpvMediaPlayer() { MpvLibrary::StartLoading(); }

mpv_handle* MpvMediaPlayer::Handle() {
  if (!handle_) CreateHandle();
  return handle_.get();
}

void MpvMediaPlayer::CreateHandle() {
  try {
    MakeHandle();
  } catch (...) {
    // A half-made handle is never used: the next use tries again, and fails the same way.
    handle_.reset();
    throw;
  }
}

void MpvMediaPlayer::MakeHandle() {
  QElapsedTimer creating;
  creating.start();
  const MpvLibrary& mpv = Mpv();
  qCDebug(lcPlayer) << "waited" << creating.elapsed() << "ms for libmpv";
  // libmpv parses numbers with the C library and refuses to start under a locale whose decimal
  // separator is not "."; the application object may have set the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  handle_.reset(mpv.create());
  if (!handle_) {
    qCDebug(lcPlayer) << "mpv_create failed";
    throw Error(QStringLiteral("The media player could not be created"));
  }
  SetOption("vid", "no");
  SetOption("audio-fallback-to-null", "yes");
  LoadNoScripts();
  SetOption("volume-max", QByteArray::number(kVolumeMax));
  // An address is an audio stream; it is never handed to a page-resolving helper.
  SetOption("ytdl", "no");
  // Held until Play: SetURL opens an address without starting it.
  SetOption("pause", "yes");
  SetOption("tls-verify", "yes");
  SetOption("tls-ca-file", CaFile());
  const QByteArray audioOutput = qgetenv("ORVELLE_AUDIO_OUTPUT");
  if (!audioOutput.isEmpty()) SetOption("ao", audioOutput);
  Check(mpv.initialize(handle_.get()), QStringLiteral("start"));
  Check(mpv.request_log_messages(handle_.get(), kPlayerLogLevel), QStringLiteral("forward its log"));
  ReportOnlyTheEventsRead();
  mpv.set_wakeup_callback(handle_.get(), &MpvMediaPlayer::WakeUp, this);
  ApplyVolume();
  qCDebug(lcPlayer) << "made in" << creating.elapsed() << "ms";
}

MpvMediaPlayer::~MpvMediaPlayer() = default;

void MpvMediaPlayer::SetURL(const QString& url) {
  const QString address = NetworkAddress(url);
  SetPaused(true);
  Open(address);
}

void MpvMediaPlayer::Play() {
  // After Stop the address is closed; playing it again opens it from the start.
  if (stopped_ && !url_.isEmpty()) Open(url_);
  SetPaused(false);
}

void MpvMediaPlayer::Pause() {
  // Before the first address nothing plays.
  if (handle_) SetPaused(true);
}

void MpvMediaPlayer::Stop() {
  stopped_ = true;
  if (!handle_) return;
  const char* arguments[] = {"stop", nullptr};
  Check(Mpv().command(handle_.get(), arguments), QStringLiteral("stop"));
}

int MpvMediaPlayer::Volume() const {
  if (!handle_) return volume_;
  double volume = 0;
  Check(Mpv().get_property(handle_.get(), "volume", MPV_FORMAT_DOUBLE, &volume), QStringLiteral("read the volume"));
  return static_cast<int>(std::lround(volume));
}

void MpvMediaPlayer::SetVolume(int volume) {
  // Below 0 is silence and above the maximum is the maximum.
  volume_ = std::clamp(volume, 0, kVolumeMax);
  if (handle_) ApplyVolume();
}

void MpvMediaPlayer::ApplyVolume() {
  double value = volume_;
  Check(Mpv().set_property(handle_.get(), "volume", MPV_FORMAT_DOUBLE, &value),
        QStringLiteral("set the volume to %1").arg(volume_));
}

double MpvMediaPlayer::PositionSeconds() const {
  double position = 0;
  // Without an open song there is no position.
  if (!handle_ || Mpv().get_property(handle_.get(), "time-pos", MPV_FORMAT_DOUBLE, &position) < 0) return 0;
  return position;
}

void MpvMediaPlayer::SetFailureHandler(FailureHandler handler) { failure_handler_ = std::move(handler); }

std::int64_t MpvMediaPlayer::PositionMicroseconds() const {
  return static_cast<std::int64_t>(PositionSeconds() * 1e6);
}

bool MpvMediaPlayer::Paused() const {
  if (!handle_) return true;
  int paused = 0;
  Check(Mpv().get_property(handle_.get(), "pause", MPV_FORMAT_FLAG, &paused), QStringLiteral("read its pause state"));
  return paused != 0;
}

void MpvMediaPlayer::WakeUp(void* player) {
  // Called on one of libmpv's threads: only queue the drain to the user-interface thread, once
  // until it has run.
  auto* self = static_cast<MpvMediaPlayer*>(player);
  if (self->drain_queued_.exchange(true)) return;
  QMetaObject::invokeMethod(&self->drain_context_, [self] { self->DrainEvents(); }, Qt::QueuedConnection);
}

void MpvMediaPlayer::SetOption(const char* name, const QByteArray& value) {
  Check(Mpv().set_option_string(handle_.get(), name, value.constData()),
        QStringLiteral("set %1 to %2").arg(QLatin1String(name), QString::fromUtf8(value)));
}

void MpvMediaPlayer::SetPaused(bool paused) {
  int flag = paused ? 1 : 0;
  Check(Mpv().set_property(Handle(), "pause", MPV_FORMAT_FLAG, &flag),
        paused ? QStringLiteral("pause") : QStringLiteral("play"));
}

void MpvMediaPlayer::LoadNoScripts() {
  // The on-screen controller, statistics page, console, auto profiles and the user's scripts are
  // for mpv's own window; each would cost start-up time, a Lua state and a thread. A player built
  // without scripting lacks these options, which is as good.
  for (const char* option : {"load-scripts", "osc", "load-stats-overlay", "load-osd-console", "load-auto-profiles"}) {
    const int status = Mpv().set_option_string(handle_.get(), option, "no");
    if (status < 0) qCDebug(lcPlayer) << "the player has no option" << option << "-" << Mpv().error_string(status);
  }
}

void MpvMediaPlayer::ReportOnlyTheEventsRead() {
  for (int id = MPV_EVENT_SHUTDOWN; id <= MPV_EVENT_HOOK; ++id) {
    const auto event = static_cast<mpv_event_id>(id);
    const bool read = std::find(std::begin(kReportedEvents), std::end(kReportedEvents), event) != std::end(kReportedEvents);
    // Numbers the player no longer knows are refused; they are not reported either way.
    Mpv().request_event(handle_.get(), event, read ? 1 : 0);
  }
}

void MpvMediaPlayer::Open(const QString& url) {
  const QByteArray address = url.toUtf8();
  qCDebug(lcPlayer).noquote() << "opening" << AddressForLog(url);
  const char* arguments[] = {"loadfile", address.constData(), "replace", nullptr};
  Check(Mpv().command(Handle(), arguments), QStringLiteral("open %1").arg(url));
  url_ = url;
  stopped_ = false;
}

void MpvMediaPlayer::DrainEvents() {
  drain_queued_ = false;
  while (true) {
    const mpv_event* event = Mpv().wait_event(handle_.get(), 0);
    switch (event->event_id) {
      case MPV_EVENT_NONE:
        return;
      case MPV_EVENT_LOG_MESSAGE: {
        const auto* message = static_cast<const mpv_event_log_message*>(event->data);
        qCDebug(lcPlayer).noquote() << QStringLiteral("mpv %1 [%2]: %3")
                                           .arg(QLatin1String(message->level), QString::fromUtf8(message->prefix),
                                                QString::fromUtf8(message->text).trimmed());
        break;
      }
      case MPV_EVENT_END_FILE: {
        const auto* ended = static_cast<const mpv_event_end_file*>(event->data);
        if (ended->reason == MPV_END_FILE_REASON_ERROR) {
          const QString reason = QString::fromUtf8(Mpv().error_string(ended->error));
          qCWarning(lcPlayer).noquote() << "song could not be played:" << AddressForLog(url_) << "-" << reason;
          if (failure_handler_) failure_handler_(PlaybackFailure{PlaybackFailure::Kind::CannotOpen, reason});
        }
        break;
      }
      default:
        break;
    }
  }
}

}  // namespace orvelle
