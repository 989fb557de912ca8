#pragma once

#include "catalogue.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace orvelle::demo {

constexpr int kSampleRate = 22050;

// A short melody for the song: a lead voice over a bass line and a chord progression, in a key,
// scale and tempo chosen from the song's id, lasting exactly song.lengthSeconds. The result is a
// complete WAV file (RIFF, PCM, 16-bit, mono, kSampleRate samples per second).
std::string synthesizeSong(const Song& song, int sampleRate = kSampleRate);

// The MP3 bit rate and sample rate the songs are encoded with: what the real service sends.
constexpr int kMp3KilobitsPerSecond = 128;
constexpr int kMp3SampleRate = 44100;

// The song's WAV file (as synthesizeSong makes it) encoded as MP3 with LAME: MPEG-1 layer III,
// mono, kMp3SampleRate, constant kMp3KilobitsPerSecond, no tag frames. Throws orvelle::Error when
// the encoder fails.
std::string encodeMp3(const std::string& wav);

// An audio file the service serves, and its media type.
struct AudioFile {
  std::shared_ptr<const std::string> bytes;
  const char* mediaType = nullptr;
};

// Each song's audio, synthesized (and encoded) on first use and kept; safe to use from several
// threads.
class AudioStore {
 public:
  explicit AudioStore(const Catalogue& catalogue) : catalogue_(catalogue) {}

  // The file at this path ("/audio/<sid>.mp3" or "/audio/<sid>.wav"); no bytes when it names no
  // song.
  AudioFile find(std::string_view path);

 private:
  std::shared_ptr<const std::string> wav(const Song& song);

  const Catalogue& catalogue_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<const std::string>, std::less<>> files_;  // by path
};

}  // namespace orvelle::demo
