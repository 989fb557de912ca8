#pragma once

#include <QString>

#include <cstdint>
#include <functional>

namespace orvelle {

// Why the player could not play the address it was given.
struct PlaybackFailure {
  enum class Kind {
    CannotOpen,    // the address could not be opened (name lookup, connection, TLS)
    HttpError,     // the server answered with an error status
    NotDecodable,  // what arrived is not audio the player can decode
    Stalled,       // no data for 10 s while playing, and re-opening did not bring any
  };
  Kind kind;
  QString reason;  // the player's own words, for the log and the display
};

// The media player the program streams songs with: it opens an audio address, plays, pauses,
// stops and has a volume. The countdown decides when the next song starts; the player only says
// when the address it was given cannot be played at all (the failure handler), and how far it
// has come (the position).
//
// Every operation that fails throws an orvelle::Error carrying the player's reason. All calls are
// made on the user-interface thread, and the failure handler is called there.
class MediaPlayer {
 public:
  using FailureHandler = std::function<void(const PlaybackFailure&)>;

  virtual ~MediaPlayer() = default;

  // Opens the address (HTTP or HTTPS), dropping the one before. Does not start playback. An
  // address of any other scheme is refused with an error, and the playing song goes on.
  virtual void SetURL(const QString& url) = 0;
  // Starts playback of the current address, or resumes it where it was paused.
  virtual void Play() = 0;
  // Halts playback, keeping the position.
  virtual void Pause() = 0;
  // Ends playback.
  virtual void Stop() = 0;
  // The volume on the player's scale of 0 to 100 (values up to 200 amplify).
  virtual int Volume() const = 0;
  // Changes the volume at once; the value is passed as the caller gives it.
  virtual void SetVolume(int volume) = 0;

  // Called, once per address, when the current address cannot be played: it cannot be opened,
  // the server answers with an error, the data cannot be decoded, or no data comes for 10 s and
  // re-opening brings none. A stream that breaks mid-song and is re-opened at the position
  // reached is not a failure while re-opening goes on. Never called from inside an operation of
  // the player; a handler set later replaces the one before.
  virtual void SetFailureHandler(FailureHandler handler) = 0;
  // How far playback of the current address has come, in microseconds; 0 when nothing is open.
  virtual std::int64_t PositionMicroseconds() const = 0;
};

}  // namespace orvelle
