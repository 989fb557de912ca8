#pragma once

#include "desktop/remote_control_target.h"
#include "service/error.h"

#include <QBuffer>
#include <QColor>
#include <QImage>

namespace orvelle::test {

// A song as the service gives it, with a cover of the given colour and size as PNG bytes.
inline QByteArray CoverPng(QColor colour, int size = 40) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

// A main window as the remote control sees it: the play/pause button plays or pauses, the skip
// button loads the next of two songs, and every action is counted.
class FakeTarget : public RemoteControlTarget {
 public:
  FakeTarget() { LoadSong(0); }

  void PlayPause() override {
    ++play_pause_clicks;
    if (fail_next_click) {
      fail_next_click = false;
      throw Error(QStringLiteral("The player failed"));
    }
    const bool play = !state.OffersPause();
    state.phase = play ? PlayPhase::Playing : PlayPhase::Paused;
    state.play_wanted = play;
    state.audio_playing = play;
    NotifyRemoteStateChanged();
  }
  void Stop() override {
    ++stops;
    state.phase = PlayPhase::Stopped;
    state.play_wanted = false;
    state.audio_playing = false;
    NotifyRemoteStateChanged();
  }
  void Next() override {
    ++skips;
    LoadSong(skips % 2);
  }
  void Raise() override { ++raises; }
  void Quit() override { ++quits; }
  int Volume() const override { return volume; }
  void SetVolume(int value) override {
    volume = value;
    NotifyRemoteStateChanged();
  }
  const RadioState& State() const override { return state; }
  const PictureContainer& Cover() const override { return cover; }
  std::optional<qint64> PlayerPosition() const override { return player_position; }

  // Loads song 0 ("Blue Line" by Ana Mar, red cover) or song 1 ("小河" by 李白, green cover) and
  // plays it, as a load does.
  void LoadSong(int index) {
    CurrentSongRecord& song = state.song;
    song.sid = index == 0 ? QStringLiteral("1001") : QStringLiteral("1002");
    song.title = index == 0 ? QStringLiteral("Blue Line") : QStringLiteral("小河");
    song.singer_name = index == 0 ? QStringLiteral("Ana Mar") : QStringLiteral("李白");
    song.albumtitle = index == 0 ? QStringLiteral("Harbour") : QStringLiteral("山");
    song.url = QStringLiteral("http://127.0.0.1/song/%1.mp3").arg(song.sid);
    song.length = index == 0 ? QStringLiteral("244") : QStringLiteral("180");
    ++state.song_number;
    state.length_seconds = song.length.toInt();
    state.remaining_seconds = state.length_seconds - 1;
    state.phase = PlayPhase::Playing;
    state.play_wanted = true;
    state.audio_playing = true;
    QByteArray png = CoverPng(index == 0 ? Qt::red : Qt::green);
    QBuffer stream(&png);
    stream.open(QIODevice::ReadOnly);
    cover.LoadFromStream(stream);
    NotifyRemoteStateChanged();
  }

  RadioState state;
  PictureContainer cover;
  int volume = 100;
  std::optional<qint64> player_position;
  int play_pause_clicks = 0;
  int stops = 0;
  int skips = 0;
  int raises = 0;
  int quits = 0;
  bool fail_next_click = false;
};

}  // namespace orvelle::test
