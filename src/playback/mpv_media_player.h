#pragma once

#include "playback/media_player.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

struct mpv_handle;

namespace orvelle {

// The media player on libmpv: one player handle that streams and decodes the audio address
// itself (through its own network stack, verifying TLS certificates) and plays it on the audio
// output, with no video and no window.
//
// Settings of the handle:
// - only HTTP and HTTPS addresses are opened (the scheme in any case); SetURL refuses any other
//   with an error and leaves the playing song alone;
// - no video; a machine without a usable sound card falls back to a silent output and still
//   plays;
// - volumes above 100 amplify, up to 200; SetVolume plays a value below 0 at 0 and one above
//   200 at 200, and Volume reads back what is played;
// - ORVELLE_AUDIO_OUTPUT, when set, names the audio output (for example "null");
// - no scripts are loaded, and only the events read below are reported;
// - certificates of HTTPS addresses are verified against SSL_CERT_FILE when it is set, else
//   against the system's certificate bundle.
//
// The handle's events are drained on the thread that created the player (the user-interface
// thread): the program reacts to none of them, but a song that failed to open and the player's
// own warnings are logged in orvelle.player at debug level.
class MpvMediaPlayer : public MediaPlayer {
 public:
  // Starts loading libmpv (see MpvLibrary). The player handle is made at the first address or
  // Play, which wait for the library; that throws orvelle::Error when the library or the handle
  // cannot be had. Until then the volume is kept here and applied to the handle when it is made.
  // Must be used after the application object exists (the handle sets the numeric locale libmpv
  // needs).
  MpvMediaPlayer();
  ~MpvMediaPlayer() override;
  MpvMediaPlayer(const MpvMediaPlayer&) = delete;
  MpvMediaPlayer& operator=(const MpvMediaPlayer&) = delete;

  void SetURL(const QString& url) override;
  void Play() override;
  void Pause() override;
  void Stop() override;
  int Volume() const override;
  void SetVolume(int volume) override;
  void SetFailureHandler(FailureHandler handler) override;
  std::int64_t PositionMicroseconds() const override;

  // The playback position in seconds, 0 when nothing is playing. For diagnostics and tests.
  double PositionSeconds() const;
  // Whether playback is held (after SetURL or Pause, until Play).
  bool Paused() const;

 private:
  struct HandleDeleter {
    void operator()(mpv_handle* handle) const;
  };

  // The handle, made on first use.
  mpv_handle* Handle();
  void CreateHandle();
  void MakeHandle();
  void ApplyVolume();
  static void WakeUp(void* player);
  void SetOption(const char* name, const QByteArray& value);
  void SetPaused(bool paused);
  void LoadNoScripts();
  void ReportOnlyTheEventsRead();
  void Open(const QString& url);
  void DrainEvents();

  // Receives the queued drain calls on the user-interface thread; going with the player, it
  // takes any still-queued call with it.
  QObject drain_context_;
  std::atomic<bool> drain_queued_{false};
  std::unique_ptr<mpv_handle, HandleDeleter> handle_;
  QString url_;
  FailureHandler failure_handler_;
  bool stopped_ = false;
  // The volume set, applied to the handle when it is made.
  int volume_ = 100;
};

}  // namespace orvelle
