#pragma once

#include <QString>

namespace orvelle {

// The media player the program streams songs with: it opens an audio address, plays, pauses,
// stops and has a volume. The program uses these six operations and nothing else; it registers
// for no events and learns neither that a song ended nor that an address failed to open (the
// countdown decides when the next song starts).
//
// Every operation that fails throws an orvelle::Error carrying the player's reason. All calls are
// made on the user-interface thread.
class MediaPlayer {
 public:
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
};

}  // namespace orvelle
