#pragma once

#include "playback/media_player.h"
#include "playback/song_download.h"

#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <memory>

typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;
typedef struct _GstBus GstBus;
typedef struct _GstAppSrc GstAppSrc;

namespace orvelle {

// The media player on GStreamer: one playbin, audio only, that plays the song's file as a
// SongDownload hands it over (the playbin's source is an appsrc). The file waits in memory, up to
// kHeldBytes ahead of what is playing, so that a short outage of the network is never heard; a
// longer one holds playback, without losing its place, until the re-opened download brings data
// again.
//
// - Only HTTP and HTTPS addresses are opened (the scheme in any case); SetURL refuses any other
//   with an error and leaves the playing song alone.
// - Audio output by ORVELLE_AUDIO_OUTPUT: "null" a clocked fake sink (silent, in real time),
//   "pulse" PulseAudio, unset the desktop's (autoaudiosink); when the output cannot be opened
//   (no sound card, no sound server) the player plays silently on a fake sink.
// - Volume 0 to 200 on the cubic scale of GstStreamVolume (100 is unity; above 100 amplifies);
//   SetVolume plays a value below 0 at 0 and one above 200 at 200, and Volume reads it back.
// - HTTPS certificates are verified against SSL_CERT_FILE when it is set, else the system's.
// - Messages of the pipelines come through bus watches on GLib's default main context, which
//   Qt's event dispatcher runs on Linux (unless QT_NO_GLIB is set): the failure handler is
//   called on the user-interface thread, from the event loop, never from inside an operation.
class GstMediaPlayer : public MediaPlayer {
 public:
  // The most of a song's file held in memory ahead of what plays.
  static constexpr std::uint64_t kHeldBytes = 16 * 1024 * 1024;
  // After playback was held for want of data, it goes on once this much has arrived (or the
  // whole file): two seconds of a song at 128 kbit/s.
  static constexpr std::uint64_t kResumeBytes = 32 * 1024;

  // Starts GStreamer on a thread of its own (once per process); the pipeline is made at the first
  // address or Play, which wait for it and throw orvelle::Error when GStreamer or its playbin
  // cannot be had. Until then the volume is kept here and applied when the pipeline is made.
  GstMediaPlayer();
  ~GstMediaPlayer() override;
  GstMediaPlayer(const GstMediaPlayer&) = delete;
  GstMediaPlayer& operator=(const GstMediaPlayer&) = delete;

  void SetURL(const QString& url) override;
  void Play() override;
  void Pause() override;
  void Stop() override;
  int Volume() const override;
  void SetVolume(int volume) override;
  void SetFailureHandler(FailureHandler handler) override;
  std::int64_t PositionMicroseconds() const override;

  // The playback position in seconds, 0 when nothing is open. For diagnostics and tests.
  double PositionSeconds() const;
  // Whether playback is held by the listener (after SetURL or Pause, until Play).
  bool Paused() const { return !play_wanted_; }
  // Whether playback waits for data of a broken or slow download.
  bool WaitingForData() const { return holding_for_data_; }

 private:
  void MakePipeline();
  void ApplyVolume();
  void Open();
  void Close();
  void DropPendingMessages();
  bool ApplyState();
  static int OnBusMessage(GstBus* bus, GstMessage* message, void* player);
  static void OnSourceSetup(GstElement* playbin, GstElement* source, void* player);
  static void OnNeedData(GstAppSrc* source, unsigned length, void* player);
  void OnFed(std::uint64_t waiting, bool complete);
  void PostToBus(const char* name);
  void OnApplicationMessage(GstMessage* message);
  void OnStarved();
  double SecondsStillToPlay() const;
  void HoldForData(bool hold);
  void OnError(GstMessage* message);
  void OnDownloadFailed(SongDownload::Failure failure, const QString& reason);
  void Report(PlaybackFailure::Kind kind, const QString& reason);

  GstElement* playbin_ = nullptr;
  unsigned bus_watch_ = 0;
  // The playbin's source for the open address, given by its source-setup signal.
  GstAppSrc* source_ = nullptr;
  std::unique_ptr<SongDownload> download_;
  QString url_;
  bool open_ = false;
  bool play_wanted_ = false;
  bool reported_ = false;
  // Playback is held until data comes again; set once what had come is played.
  bool holding_for_data_ = false;
  QTimer hold_timer_;
  int volume_ = 100;
  FailureHandler failure_handler_;

  // Shared with the streaming threads: which opening of an address is current (messages of an
  // earlier one are dropped), whether playback waits for data, whether the file is all here.
  std::atomic<unsigned> opening_{0};
  std::atomic<bool> starved_{false};
  std::atomic<bool> download_complete_{false};
};

}  // namespace orvelle
