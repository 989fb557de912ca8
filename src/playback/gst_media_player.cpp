#include "playback/gst_media_player.h"

#include "service/error.h"
#include "service/log.h"

#include <gst/app/gstappsrc.h>
#include <gst/audio/streamvolume.h>
#include <gst/gst.h>

#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QElapsedTimer>

#include <algorithm>
#include <future>

namespace orvelle {
namespace {

// The loudest volume the player plays at; values above 100 amplify.
constexpr int kVolumeMax = 200;
// playbin's "flags": audio only, and its own volume element where the output has no volume of
// its own (the values of playbin's GstPlayFlags).
constexpr unsigned kPlayAudio = 1u << 1;
constexpr unsigned kPlaySoftVolume = 1u << 4;
// The audio output's buffer: long enough that the output wakes up seldom, short enough that a
// pause is heard at once (pausing stops the output where it is, whatever the buffer holds).
constexpr gint64 kSinkBufferMicroseconds = 500000;
constexpr gint64 kSinkSegmentMicroseconds = 50000;
// Playback is held this long before what has come would run out, so that the output does not
// run dry first.
constexpr double kHoldMarginSeconds = 0.1;
// The application messages the streaming threads post on the playbin's bus.
constexpr char kStarvedMessage[] = "orvelle-starved";
constexpr char kFedMessage[] = "orvelle-fed";

// GStreamer starts once per process, on a thread of its own: it loads its registry of plugins,
// which takes a tenth of a second when the registry is cached and over a second when it must be
// rebuilt (the first start after an installation), and nothing needs it before the first song is
// ready to play. The result is the reason it failed, empty when it started.
QString StartGStreamer() {
  QElapsedTimer timing;
  timing.start();
  GError* error = nullptr;
  if (!gst_init_check(nullptr, nullptr, &error)) {
    QString failure = QString::fromUtf8(error ? error->message : "unknown reason");
    if (error) g_error_free(error);
    return failure;
  }
  qCDebug(lcPlayer) << "GStreamer started in" << timing.elapsed() << "ms";
  return QString();
}

const std::shared_future<QString>& GStreamerStarted() {
  static const std::shared_future<QString> started = std::async(std::launch::async, StartGStreamer).share();
  return started;
}

// The address with its scheme in lower case; throws when the scheme is not "http" or "https"
// (compared without regard to case). The address comes from the service's answer, and GStreamer
// would also open local files and its other protocols.
QString NetworkAddress(const QString& url) {
  const qsizetype end = url.indexOf(QLatin1String("://"));
  const QString scheme = end < 0 ? QString() : url.left(end).toLower();
  if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
    qCWarning(lcPlayer).noquote() << "refused to open" << AddressForLog(url) << "- not an HTTP or HTTPS address";
    throw Error(QStringLiteral("The media player could not open %1: not an HTTP or HTTPS address").arg(url));
  }
  return scheme + url.mid(end);
}

bool HasProperty(GstElement* element, const char* name) {
  return g_object_class_find_property(G_OBJECT_GET_CLASS(element), name) != nullptr;
}

GstElement* FakeAudioSink() {
  GstElement* sink = gst_element_factory_make("fakesink", "silent-output");
  // Clocked: it takes the audio in real time, as a sound card would.
  if (sink) g_object_set(sink, "sync", TRUE, nullptr);
  return sink;
}

// Sizes the buffer of the output, or of the output an automatic sink chose inside itself.
void SizeOutputBuffer(GstElement* sink) {
  if (HasProperty(sink, "buffer-time")) {
    g_object_set(sink, "buffer-time", kSinkBufferMicroseconds, "latency-time", kSinkSegmentMicroseconds, nullptr);
    return;
  }
  if (!GST_IS_BIN(sink)) return;
  GstIterator* children = gst_bin_iterate_recurse(GST_BIN(sink));
  gst_iterator_foreach(
      children,
      [](const GValue* child, gpointer) {
        auto* element = GST_ELEMENT(g_value_get_object(child));
        if (HasProperty(element, "buffer-time")) {
          g_object_set(element, "buffer-time", kSinkBufferMicroseconds, "latency-time", kSinkSegmentMicroseconds,
                       nullptr);
        }
      },
      nullptr);
  gst_iterator_free(children);
}

// The audio output ORVELLE_AUDIO_OUTPUT names, opened to see that it works; a fake one when it
// cannot be opened.
GstElement* MakeAudioSink() {
  const QByteArray output = qgetenv("ORVELLE_AUDIO_OUTPUT");
  if (output == "null") return FakeAudioSink();
  const char* factory = output == "pulse" ? "pulsesink" : "autoaudiosink";
  if (!output.isEmpty() && output != "pulse") {
    qCWarning(lcPlayer).noquote() << "unknown audio output" << output << "- using the desktop's";
  }
  GstElement* sink = gst_element_factory_make(factory, nullptr);
  if (sink && gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE) {
    SizeOutputBuffer(sink);
    return sink;
  }
  if (sink) {
    gst_element_set_state(sink, GST_STATE_NULL);
    gst_object_unref(sink);
  }
  qCWarning(lcPlayer) << "the audio output" << factory << "cannot be opened - playing silently";
  return FakeAudioSink();
}

const char* KindName(PlaybackFailure::Kind kind) {
  switch (kind) {
    case PlaybackFailure::Kind::CannotOpen:
      return "cannot open";
    case PlaybackFailure::Kind::HttpError:
      return "HTTP error";
    case PlaybackFailure::Kind::NotDecodable:
      return "not decodable";
    case PlaybackFailure::Kind::Stalled:
      return "stalled";
  }
  return "?";
}

}  // namespace

GstMediaPlayer::GstMediaPlayer() {
  GStreamerStarted();
  hold_timer_.setSingleShot(true);
  QObject::connect(&hold_timer_, &QTimer::timeout, [this] { HoldForData(true); });
  if (const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
      dispatcher && !dispatcher->inherits("QEventDispatcherGlib")) {
    qCWarning(lcPlayer) << "the event loop does not run GLib's main context (QT_NO_GLIB?):"
                        << "the player will not hear of failures, nor wait for a download that runs dry";
  }
}

GstMediaPlayer::~GstMediaPlayer() {
  if (!playbin_) return;
  Close();
  g_source_remove(bus_watch_);
  gst_element_set_state(playbin_, GST_STATE_NULL);
  gst_object_unref(playbin_);
}

void GstMediaPlayer::MakePipeline() {
  if (playbin_) return;
  QElapsedTimer waiting;
  waiting.start();
  const QString failure = GStreamerStarted().get();
  if (!failure.isEmpty()) {
    qCWarning(lcPlayer).noquote() << "GStreamer could not be started:" << failure;
    throw Error(QStringLiteral("The media player could not be created: %1").arg(failure));
  }
  qCDebug(lcPlayer) << "waited" << waiting.elapsed() << "ms for GStreamer";
  GstElement* playbin = gst_element_factory_make("playbin", "orvelle-player");
  if (!playbin) {
    qCWarning(lcPlayer) << "playbin (gstreamer1.0-plugins-base) is missing";
    throw Error(QStringLiteral("The media player could not be created: playbin is missing"));
  }
  playbin_ = GST_ELEMENT(gst_object_ref_sink(playbin));
  GstElement* sink = MakeAudioSink();
  const unsigned flags = kPlayAudio | (HasProperty(sink, "volume") ? 0u : kPlaySoftVolume);
  g_object_set(playbin_, "audio-sink", sink, "flags", flags, "uri", "appsrc://", nullptr);
  g_signal_connect(playbin_, "source-setup", G_CALLBACK(&GstMediaPlayer::OnSourceSetup), this);
  GstBus* bus = gst_element_get_bus(playbin_);
  bus_watch_ = gst_bus_add_watch(
      bus, [](GstBus* b, GstMessage* m, gpointer self) { return static_cast<gboolean>(OnBusMessage(b, m, self)); },
      this);
  gst_object_unref(bus);
  ApplyVolume();
}

void GstMediaPlayer::SetURL(const QString& url) {
  const QString address = NetworkAddress(url);
  url_ = address;
  play_wanted_ = false;
  reported_ = false;
  Open();
}

void GstMediaPlayer::Play() {
  // After Stop the address is closed; playing it again opens it from the start.
  if (!open_ && !url_.isEmpty()) Open();
  play_wanted_ = true;
  if (!ApplyState()) throw Error(QStringLiteral("The media player could not play %1").arg(url_));
}

void GstMediaPlayer::Pause() {
  play_wanted_ = false;
  if (!ApplyState()) throw Error(QStringLiteral("The media player could not pause"));
}

void GstMediaPlayer::Stop() {
  play_wanted_ = false;
  Close();
}

int GstMediaPlayer::Volume() const { return volume_; }

void GstMediaPlayer::SetVolume(int volume) {
  // Below 0 is silence and above the maximum is the maximum.
  volume_ = std::clamp(volume, 0, kVolumeMax);
  if (playbin_) ApplyVolume();
}

void GstMediaPlayer::ApplyVolume() {
  gst_stream_volume_set_volume(GST_STREAM_VOLUME(playbin_), GST_STREAM_VOLUME_FORMAT_CUBIC, volume_ / 100.0);
}

void GstMediaPlayer::SetFailureHandler(FailureHandler handler) { failure_handler_ = std::move(handler); }

std::int64_t GstMediaPlayer::PositionMicroseconds() const {
  gint64 position = 0;
  if (!open_ || !gst_element_query_position(playbin_, GST_FORMAT_TIME, &position) || position < 0) return 0;
  return position / 1000;
}

double GstMediaPlayer::PositionSeconds() const { return static_cast<double>(PositionMicroseconds()) / 1e6; }

void GstMediaPlayer::Open() {
  MakePipeline();
  Close();
  ++opening_;
  starved_ = false;
  holding_for_data_ = false;
  hold_timer_.stop();
  download_complete_ = false;
  qCDebug(lcPlayer).noquote() << "opening" << AddressForLog(url_);
  // Makes the playbin's source (source-setup) and waits in PAUSED for the first data.
  if (gst_element_set_state(playbin_, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE || !source_) {
    gst_element_set_state(playbin_, GST_STATE_READY);
    qCWarning(lcPlayer).noquote() << "could not open" << AddressForLog(url_) << "- the pipeline did not start";
    throw Error(QStringLiteral("The media player could not open %1").arg(url_));
  }
  SongDownload::Handlers handlers;
  handlers.failed = [this](SongDownload::Failure failure, const QString& reason) { OnDownloadFailed(failure, reason); };
  handlers.fed = [this](std::uint64_t waiting, bool complete) { OnFed(waiting, complete); };
  download_ = std::make_unique<SongDownload>(url_, source_, std::move(handlers));
  open_ = true;
  try {
    download_->Start();
  } catch (...) {
    Close();
    throw;
  }
}

void GstMediaPlayer::Close() {
  if (!playbin_ || (!open_ && !source_)) return;
  open_ = false;
  // The playbin first: its source stops taking data, which frees a download waiting to hand
  // data over; then the download can stop.
  gst_element_set_state(playbin_, GST_STATE_READY);
  download_.reset();
  if (source_) gst_object_unref(source_);
  source_ = nullptr;
  DropPendingMessages();
}

void GstMediaPlayer::DropPendingMessages() {
  // What the closed address posted and the bus watch has not yet dispatched (an error of its
  // pipeline) must not be taken for news of the next address.
  GstBus* bus = gst_element_get_bus(playbin_);
  while (GstMessage* message = gst_bus_pop(bus)) gst_message_unref(message);
  gst_object_unref(bus);
}

bool GstMediaPlayer::ApplyState() {
  if (!open_) return true;
  const GstState target = play_wanted_ && !holding_for_data_ ? GST_STATE_PLAYING : GST_STATE_PAUSED;
  return gst_element_set_state(playbin_, target) != GST_STATE_CHANGE_FAILURE;
}

void GstMediaPlayer::OnSourceSetup(GstElement*, GstElement* source, void* player) {
  auto* self = static_cast<GstMediaPlayer*>(player);
  if (!GST_IS_APP_SRC(source)) return;
  if (self->source_) gst_object_unref(self->source_);
  self->source_ = GST_APP_SRC(gst_object_ref(source));
  // A stream of bytes that is read once, in order; the download waits (and with it the
  // connection) while kHeldBytes are waiting to be played.
  g_object_set(source, "stream-type", GST_APP_STREAM_TYPE_STREAM, "format", GST_FORMAT_BYTES, "max-bytes",
               static_cast<guint64>(kHeldBytes), "block", TRUE, nullptr);
  g_signal_connect(source, "need-data", G_CALLBACK(&GstMediaPlayer::OnNeedData), self);
}

void GstMediaPlayer::OnNeedData(GstAppSrc*, unsigned, void* player) {
  // On the playbin's streaming thread: everything that arrived has been taken.
  auto* self = static_cast<GstMediaPlayer*>(player);
  if (self->download_complete_ || self->starved_.exchange(true)) return;
  self->PostToBus(kStarvedMessage);
}

void GstMediaPlayer::OnFed(std::uint64_t waiting, bool complete) {
  // On the download's streaming thread (or the user-interface thread at the file's end).
  if (complete) download_complete_ = true;
  if (!starved_ || (!complete && waiting < kResumeBytes)) return;
  if (starved_.exchange(false)) PostToBus(kFedMessage);
}

void GstMediaPlayer::PostToBus(const char* name) {
  GstStructure* body = gst_structure_new(name, "opening", G_TYPE_UINT, opening_.load(), nullptr);
  gst_element_post_message(playbin_, gst_message_new_application(GST_OBJECT(playbin_), body));
}

int GstMediaPlayer::OnBusMessage(GstBus*, GstMessage* message, void* player) {
  auto* self = static_cast<GstMediaPlayer*>(player);
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_APPLICATION:
      self->OnApplicationMessage(message);
      break;
    case GST_MESSAGE_ERROR:
      self->OnError(message);
      break;
    case GST_MESSAGE_WARNING: {
      GError* warning = nullptr;
      gst_message_parse_warning(message, &warning, nullptr);
      qCDebug(lcPlayer).noquote() << "GStreamer warning from" << GST_OBJECT_NAME(GST_MESSAGE_SRC(message)) << "-"
                                  << QString::fromUtf8(warning->message);
      g_error_free(warning);
      break;
    }
    case GST_MESSAGE_EOS:
      qCDebug(lcPlayer).noquote() << "played to the end:" << AddressForLog(self->url_);
      break;
    default:
      break;
  }
  return TRUE;
}

void GstMediaPlayer::OnApplicationMessage(GstMessage* message) {
  const GstStructure* body = gst_message_get_structure(message);
  guint opening = 0;
  if (!gst_structure_get_uint(body, "opening", &opening) || opening != opening_ || !open_) return;
  if (gst_structure_has_name(body, kStarvedMessage)) return OnStarved();
  hold_timer_.stop();
  HoldForData(false);
}

void GstMediaPlayer::OnStarved() {
  if (!starved_) return;  // data came meanwhile
  // The source has handed on all it had; the decoder and the output still hold some. Playback
  // is held once that is played, so that nothing that came is held back.
  const double still = SecondsStillToPlay();
  qCDebug(lcPlayer) << "all data taken at" << PositionSeconds() << "s," << still << "s still to play";
  if (still <= kHoldMarginSeconds) return HoldForData(true);
  hold_timer_.start(static_cast<int>((still - kHoldMarginSeconds) * 1000));
}

double GstMediaPlayer::SecondsStillToPlay() const {
  gint64 duration = 0;
  const std::uint64_t size = download_ ? download_->Size() : 0;
  if (size == 0 || !gst_element_query_duration(playbin_, GST_FORMAT_TIME, &duration) || duration <= 0) return 0;
  // The part of the song that has come, as a time: exact for a constant bit rate, near for another.
  const double arrived = static_cast<double>(duration) / GST_SECOND * static_cast<double>(download_->Received()) /
                         static_cast<double>(size);
  return arrived - PositionSeconds();
}

void GstMediaPlayer::HoldForData(bool hold) {
  if (hold == holding_for_data_) return;
  holding_for_data_ = hold;
  qCDebug(lcPlayer) << (hold ? "waiting for data at" : "data again at") << PositionSeconds() << "s";
  if (!ApplyState()) qCWarning(lcPlayer) << "the pipeline did not change its state";
}

void GstMediaPlayer::OnError(GstMessage* message) {
  if (!open_) return;
  GError* error = nullptr;
  gchar* debug = nullptr;
  gst_message_parse_error(message, &error, &debug);
  const QString reason = QString::fromUtf8(error->message);
  // The audio output failing is not the address's fault, but the song does not play either.
  const bool output = error->domain == GST_RESOURCE_ERROR;
  qCDebug(lcPlayer).noquote() << "pipeline error from" << GST_OBJECT_NAME(GST_MESSAGE_SRC(message)) << "-" << reason
                              << "-" << QString::fromUtf8(debug ? debug : "");
  g_error_free(error);
  g_free(debug);
  Close();
  Report(output ? PlaybackFailure::Kind::CannotOpen : PlaybackFailure::Kind::NotDecodable, reason);
}

void GstMediaPlayer::OnDownloadFailed(SongDownload::Failure failure, const QString& reason) {
  switch (failure) {
    case SongDownload::Failure::CannotOpen:
      return Report(PlaybackFailure::Kind::CannotOpen, reason);
    case SongDownload::Failure::HttpError:
      return Report(PlaybackFailure::Kind::HttpError, reason);
    case SongDownload::Failure::Stalled:
      // The download goes on trying; the caller decides whether to wait for it.
      return Report(PlaybackFailure::Kind::Stalled, reason);
  }
}

void GstMediaPlayer::Report(PlaybackFailure::Kind kind, const QString& reason) {
  if (reported_) return;
  reported_ = true;
  qCWarning(lcPlayer).noquote() << "song could not be played:" << AddressForLog(url_) << "-" << KindName(kind) << "-"
                                << reason;
  if (failure_handler_) failure_handler_(PlaybackFailure{kind, reason});
}

}  // namespace orvelle
