#include "playback/song_download.h"

#include "service/error.h"
#include "service/log.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <algorithm>

namespace orvelle {
namespace {

// The pauses between re-opening attempts of a broken download: the first comes soon (a dropped
// connection is often back at once), then each is twice the one before, up to the last.
constexpr int kFirstReopenPauseMs = 250;
constexpr int kLongestReopenPauseMs = 4000;

int ReopenPauseMs(int failedReopens) {
  const int doublings = std::min(failedReopens, 10);
  return std::min(kFirstReopenPauseMs << doublings, kLongestReopenPauseMs);
}

// The trust store for HTTPS addresses when SSL_CERT_FILE does not name one.
constexpr char kSystemCaBundle[] = "/etc/ssl/certs/ca-certificates.crt";

// Named for each download: GLib's default trust store is made once per process, from whatever
// the environment said at that moment.
QByteArray CaFile() {
  const QByteArray fromEnvironment = qgetenv("SSL_CERT_FILE");
  return fromEnvironment.isEmpty() ? QByteArray(kSystemCaBundle) : fromEnvironment;
}

// The HTTP status of a download's error, or 0 when the server did not answer with one.
unsigned HttpStatusOf(GstMessage* message) {
  const GstStructure* details = nullptr;
  gst_message_parse_error_details(message, &details);
  guint status = 0;
  if (details && gst_structure_get_uint(details, "http-status-code", &status)) return status;
  return 0;
}

QString ErrorText(GstMessage* message, GError** kept = nullptr) {
  GError* error = nullptr;
  gchar* debug = nullptr;
  gst_message_parse_error(message, &error, &debug);
  QString text = QString::fromUtf8(error->message);
  if (debug) {
    // The detail's last line carries the server's words ("Not Found (404), URL: ...") or the
    // system's, after the place in GStreamer's code it came from.
    const QString detail = QString::fromUtf8(debug).trimmed();
    text += QLatin1String(" - ") + detail.mid(detail.lastIndexOf(QLatin1Char('\n')) + 1);
  }
  g_free(debug);
  if (kept) {
    *kept = error;
  } else {
    g_error_free(error);
  }
  return text;
}

}  // namespace

SongDownload::SongDownload(QString url, GstAppSrc* destination, Handlers handlers)
    : url_(std::move(url)), destination_(destination), handlers_(std::move(handlers)) {
  gst_object_ref(destination_);
  reopen_timer_.setSingleShot(true);
  QObject::connect(&reopen_timer_, &QTimer::timeout, [this] { Open(); });
}

SongDownload::~SongDownload() {
  Close();
  gst_object_unref(destination_);
}

void SongDownload::Start() {
  since_data_.start();
  Open();
}

void SongDownload::Open() {
  Close();
  pipeline_ = gst_pipeline_new("song-download");
  source_ = gst_element_factory_make("souphttpsrc", nullptr);
  GstElement* sink = gst_element_factory_make("appsink", nullptr);
  if (!pipeline_ || !source_ || !sink) {
    if (pipeline_) gst_object_unref(pipeline_);
    if (source_) gst_object_unref(source_);
    if (sink) gst_object_unref(sink);
    pipeline_ = source_ = nullptr;
    qCWarning(lcPlayer) << "the HTTP source (souphttpsrc of gstreamer1.0-plugins-good) or appsink is missing";
    throw Error(QStringLiteral("The media player could not open %1: its HTTP source is missing").arg(url_));
  }
  const QByteArray location = url_.toUtf8();
  // Breaks are re-opened here, at the byte reached, with pauses between the attempts; a read
  // that waits too long for data counts as a break.
  g_object_set(source_, "location", location.constData(), "retries", 0, "timeout", kNoDataSeconds, nullptr);
  // Only an HTTPS address needs the trust store: loading it (and GLib's TLS backend) for a plain
  // one would cost memory for nothing.
  if (url_.startsWith(QLatin1String("https:"))) g_object_set(source_, "ssl-ca-file", CaFile().constData(), nullptr);
  // The data goes on as it comes: no clock, and no queue of its own beyond one piece.
  g_object_set(sink, "sync", FALSE, "max-buffers", 1u, nullptr);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = [](GstAppSink* appsink, gpointer self) {
    return static_cast<GstFlowReturn>(OnNewSample(appsink, self));
  };
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
  gst_bin_add_many(GST_BIN(pipeline_), source_, sink, nullptr);
  gst_element_link(source_, sink);

  GstBus* bus = gst_element_get_bus(pipeline_);
  bus_watch_ = gst_bus_add_watch(
      bus, [](GstBus* b, GstMessage* m, gpointer self) { return static_cast<gboolean>(OnBusMessage(b, m, self)); },
      this);
  gst_object_unref(bus);

  const std::uint64_t from = received_;
  if (from > 0) {
    // Asked before the source starts, the seek becomes the first request's Range.
    gst_element_set_state(pipeline_, GST_STATE_READY);
    gst_element_send_event(source_, gst_event_new_seek(1.0, GST_FORMAT_BYTES, GST_SEEK_FLAG_FLUSH, GST_SEEK_TYPE_SET,
                                                       static_cast<gint64>(from), GST_SEEK_TYPE_NONE, -1));
  }
  any_data_since_open_ = false;
  qCDebug(lcPlayer).noquote() << "downloading" << AddressForLog(url_) << "from byte" << from;
  gst_element_set_state(pipeline_, GST_STATE_PLAYING);
}

void SongDownload::Close() {
  reopen_timer_.stop();
  if (!pipeline_) return;
  g_source_remove(bus_watch_);
  bus_watch_ = 0;
  // Joins the streaming thread: no piece is handed on after this.
  gst_element_set_state(pipeline_, GST_STATE_NULL);
  gst_object_unref(pipeline_);
  pipeline_ = nullptr;
  source_ = nullptr;
}

int SongDownload::OnBusMessage(GstBus*, GstMessage* message, void* download) {
  auto* self = static_cast<SongDownload*>(download);
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
      self->OnError(message);
      break;
    case GST_MESSAGE_EOS:
      self->OnEndOfStream();
      break;
    default:
      break;
  }
  return TRUE;
}

void SongDownload::OnError(GstMessage* message) {
  // Only the first error of an attempt counts: the source's own reason comes first, the
  // streaming thread's "stopped" after it.
  if (reopen_timer_.isActive()) return;
  GError* error = nullptr;
  const QString reason = ErrorText(message, &error);
  // A source error without a reason of its own is a read that timed out waiting for data.
  const bool waitedForData = error->domain == GST_STREAM_ERROR && error->code == GST_STREAM_ERROR_FAILED;
  g_error_free(error);
  qCDebug(lcPlayer).noquote() << "download of" << AddressForLog(url_) << "failed at byte" << received_ << "-"
                              << reason;
  if (waitedForData) return Reopen(QStringLiteral("no data came for %1 s").arg(kNoDataSeconds));
  if (received_ > 0) return Reopen(reason);
  const unsigned status = HttpStatusOf(message);
  Fail(status >= 400 ? Failure::HttpError : Failure::CannotOpen, reason);
}

void SongDownload::OnEndOfStream() {
  // A connection closed before the whole file came is a break like any other.
  if (size_ > 0 && received_ < size_) {
    return Reopen(QStringLiteral("the connection closed at byte %1 of %2").arg(received_).arg(size_));
  }
  complete_ = true;
  gst_app_src_end_of_stream(destination_);
  if (handlers_.fed) handlers_.fed(gst_app_src_get_current_level_bytes(destination_), true);
  qCDebug(lcPlayer).noquote() << "downloaded" << AddressForLog(url_) << "-" << received_ << "bytes";
  Close();
}

void SongDownload::Reopen(const QString& why) {
  if (any_data_since_open_) {
    // This attempt brought data: the break begins now, and the pauses start short again.
    since_data_.restart();
    failed_reopens_ = 0;
    qCWarning(lcPlayer).noquote() << "the stream of" << AddressForLog(url_) << "broke at byte" << received_ << "-"
                                  << why << "- re-opening it there";
  } else {
    ++failed_reopens_;
  }
  const bool stalled = received_ == 0 && !stall_reported_ && since_data_.elapsed() >= kStallSeconds * 1000;
  Close();
  reopen_timer_.start(ReopenPauseMs(failed_reopens_));
  if (!stalled) return;
  stall_reported_ = true;
  // Last: the handler may replace this download.
  if (handlers_.failed) {
    handlers_.failed(Failure::Stalled, QStringLiteral("no data for %1 s: %2").arg(since_data_.elapsed() / 1000).arg(why));
  }
}

void SongDownload::Fail(Failure failure, const QString& reason) {
  Close();
  // Last: the handler may replace this download.
  if (handlers_.failed) handlers_.failed(failure, reason);
}

int SongDownload::OnNewSample(GstAppSink* sink, void* download) {
  auto* self = static_cast<SongDownload*>(download);
  GstSample* sample = gst_app_sink_pull_sample(sink);
  if (!sample) return GST_FLOW_EOS;
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  const gsize size = gst_buffer_get_size(buffer);
  // The source takes the piece over (and blocks while it holds its limit, which keeps the
  // connection waiting instead of the memory growing).
  const GstFlowReturn pushed = gst_app_src_push_buffer(self->destination_, gst_buffer_ref(buffer));
  gst_sample_unref(sample);
  if (pushed != GST_FLOW_OK) return pushed;
  self->received_ += size;
  self->any_data_since_open_ = true;
  if (self->size_ == 0 && (self->size_ = self->SizeFromSource()) > 0) {
    // Knowing the size, the player's parser can tell the song's duration from its bit rate.
    gst_app_src_set_size(self->destination_, static_cast<gint64>(self->size_.load()));
  }
  if (self->handlers_.fed) self->handlers_.fed(gst_app_src_get_current_level_bytes(self->destination_), false);
  return GST_FLOW_OK;
}

std::uint64_t SongDownload::SizeFromSource() const {
  gint64 size = 0;
  // The source knows the file's size from Content-Length (or Content-Range after a re-open).
  if (source_ && gst_element_query_duration(source_, GST_FORMAT_BYTES, &size) && size > 0) {
    return static_cast<std::uint64_t>(size);
  }
  return 0;
}

}  // namespace orvelle
