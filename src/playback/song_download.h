#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;
typedef struct _GstBus GstBus;
typedef struct _GstAppSink GstAppSink;
typedef struct _GstAppSrc GstAppSrc;

namespace orvelle {

// The download of one song's file over HTTP or HTTPS (GStreamer's souphttpsrc), handed on as it
// arrives to the player's source (an appsrc), where it waits in memory until it is played.
//
// A download that breaks after its first bytes (the connection fails or closes early, or no data
// comes for kNoDataSeconds) is re-opened at the byte reached (a Range request), again and again
// with growing pauses, until the download is stopped; the bytes already handed on keep playing
// meanwhile. A download that fails before its first byte is given up at once and reported,
// except when it only waits for data: that is re-opened like a break, and reported as a stall
// once no data has come for kStallSeconds.
//
// Lives on the user-interface thread; its messages arrive there through a bus watch on GLib's
// default main context, which Qt's event dispatcher runs. The data itself goes from the
// download's streaming thread straight into the player's source.
class SongDownload {
 public:
  enum class Failure { CannotOpen, HttpError, Stalled };
  struct Handlers {
    // The download cannot be had (never called for a break that is being re-opened). After a
    // CannotOpen or HttpError the download has stopped; after Stalled it goes on trying.
    std::function<void(Failure, const QString& reason)> failed;
    // Called on the streaming thread after each piece handed on, with the bytes now waiting in
    // the source and whether the whole file has arrived.
    std::function<void(std::uint64_t waiting, bool complete)> fed;
  };

  // A read that waits longer than this for data is given up and re-opened.
  static constexpr unsigned kNoDataSeconds = 5;
  // Before the first byte, a download that brought no data for this long is reported stalled.
  static constexpr int kStallSeconds = 10;

  SongDownload(QString url, GstAppSrc* destination, Handlers handlers);
  ~SongDownload();
  SongDownload(const SongDownload&) = delete;
  SongDownload& operator=(const SongDownload&) = delete;

  // Starts the download from the first byte; throws orvelle::Error when it cannot be made.
  void Start();
  // Whether every byte of the file has been handed on.
  bool Complete() const { return complete_; }
  // How many bytes have been handed on.
  std::uint64_t Received() const { return received_; }
  // The file's size, 0 while unknown (before the first byte, or when the server does not say).
  std::uint64_t Size() const { return size_; }

 private:
  void Open();
  void Close();
  static int OnBusMessage(GstBus* bus, GstMessage* message, void* download);
  void OnError(GstMessage* message);
  void OnEndOfStream();
  void Reopen(const QString& why);
  void Fail(Failure failure, const QString& reason);
  static int OnNewSample(GstAppSink* sink, void* download);
  std::uint64_t SizeFromSource() const;

  const QString url_;
  GstAppSrc* const destination_;
  const Handlers handlers_;
  GstElement* pipeline_ = nullptr;
  GstElement* source_ = nullptr;
  unsigned bus_watch_ = 0;

  // Written on the streaming thread, read on the user-interface thread.
  std::atomic<std::uint64_t> received_{0};
  std::atomic<std::uint64_t> size_{0};
  std::atomic<bool> complete_{false};
  std::atomic<bool> any_data_since_open_{false};

  // Since the last byte came (or the download began, before the first byte).
  QElapsedTimer since_data_;
  int failed_reopens_ = 0;
  bool stall_reported_ = false;
  QTimer reopen_timer_;
};

}  // namespace orvelle
