#pragma once

#include <QString>

#include <QtGlobal>

namespace orvelle {

class MediaPlayer;

// The now-playing record: the texts of the song the service gave last, named after the keys of
// its JSON answer.
struct CurrentSongRecord {
  QString sid;
  QString ssid;
  QString albumtitle;
  QString url;
  QString album;
  QString file_ext;
  QString title;
  QString picture;
  QString update_time;
  QString public_time;
  QString length;
  QString singer_name;
  QString singer_avatar;
};

// The process-wide play state, read by every step at the moment it runs. The values start as
// the program starts.
struct PlayState {
  QString ChannelId = QStringLiteral("-10");
  // The last service answer, and the intermediate texts of the playlist answer's parse.
  QString ResponseText;
  CurrentSongRecord CurrentSong;
  qint32 RemainingSeconds = 0;
  int IsPlaying = 0;  // 1 playing, 0 paused
  bool IsMuted = false;
  int SavedVolume = 100;
  // The player, owned by the main window; none until the main window is first shown.
  ::orvelle::MediaPlayer* MediaPlayer = nullptr;
};

// The program's one play state.
PlayState& ProgramPlayState();

}  // namespace orvelle
