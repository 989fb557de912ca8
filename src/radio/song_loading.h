#pragma once

// One attempt at the next song: the playlist request, the parse of its answer, and the downloads
// of the song's cover and singer's picture. What the attempt brought stays in the loader until
// the radio takes it; nothing is shown or played from here (radio/radio.h runs the cycle).
//
// An attempt is a sequence of steps that each run when the answer before it has arrived: nothing
// waits. Attempts never overlap: starting one abandons the one under way, whose request is
// aborted and whose later steps never run.
//
//   SongLoader loader(requests, {.failed = [&](const AttemptFailure& f) { ... },
//                                .arrived = [&] { Show(loader.Song(), loader.Cover()); }});
//   loader.Load(channel_id);

#include "radio/client_requests.h"
#include "radio/radio_state.h"
#include "service/picture/picture_container.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>

namespace orvelle {

// The texts shown when loads keep failing: the heading, and the reason of an answer that does
// not hold one song.
inline constexpr char16_t kNoStationText[] = u"无法连接到电台";
inline constexpr char16_t kAnswerNotUnderstoodText[] = u"电台回答有误";

// The playlist request's address for a channel and request number.
QString PlaylistAddress(const QString& channel_id, const QString& request_sid);

// A random request number of seven digits, 1000000 to 9999998, from a generator reseeded from
// the clock at every call.
QString DrawRequestSid();

// The song of a playlist answer. Throws Error with the reason when the answer does not hold
// exactly one song object with exactly one singer object and every member the record names, or
// when its length is not a whole number of 32 bits.
CurrentSongRecord ParseSongAnswer(const QString& answer);

// A failure in a few words for the listener (a refused connection, a server error and its
// status, an answer not understood), from a request's or the parse's error.
QString ShortReason(std::exception_ptr error);
// The full text of a failure, on one line, for the log.
QString ReasonForLog(std::exception_ptr error);

// Why an attempt brought no song: in a few words, and in full for the log.
struct AttemptFailure {
  QString reason;
  QString detail;
};

class SongLoader {
 public:
  struct Outcome {
    // The attempt brought no song (its request failed or its answer was not one song).
    std::function<void(const AttemptFailure&)> failed;
    // The song has come: Song(), Cover() and SingerPicture() hold it. A picture that could not
    // be had is empty; its box was shown (one box at a time) and the song came all the same.
    std::function<void()> arrived;
  };

  SongLoader(ClientRequests& requests, Outcome outcome);
  ~SongLoader();
  SongLoader(const SongLoader&) = delete;
  SongLoader& operator=(const SongLoader&) = delete;

  // Abandons the attempt under way and starts one for a song of `channel_id`; returns at once.
  void Load(const QString& channel_id);
  // Abandons the attempt under way, if any: its request is aborted, nothing more of it runs.
  void Abandon();
  bool Loading() const { return loading_; }

  // What the last attempt that arrived brought.
  const CurrentSongRecord& Song() const { return song_; }
  PictureContainer& Cover() { return cover_; }
  PictureContainer& SingerPicture() { return singer_picture_; }

 private:
  // Runs `step` with the arguments it is called with, unless its attempt was abandoned since.
  template <class Step>
  auto InThisAttempt(Step step);
  void PlaylistAnswered(const QString& text, std::exception_ptr error);
  // The step after the download of `picture` (its name in the log), which starts now: a
  // picture that could not be read or decoded shows its error, and the attempt goes on.
  auto AfterPicture(const char* picture, void (SongLoader::*next)());
  void DownloadCover();
  void DownloadSingerPicture();
  // The disc shows the cover's picture: no third request, but the disc's request settings are
  // left on the client as its download leaves them.
  void LeaveDiscSettings();
  void Arrive();
  void Fail(const AttemptFailure& failure);

  ClientRequests& requests_;
  Outcome outcome_;
  CurrentSongRecord song_;
  PictureContainer cover_;
  PictureContainer singer_picture_;

  std::uint64_t attempt_number_ = 0;  // each start and abandon makes a new one
  bool loading_ = false;
  ClientRequests::Id request_ = 0;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point step_started_;
};

}  // namespace orvelle
