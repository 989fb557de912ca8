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

// The WAV file of each song, synthesized on first use and kept; safe to use from several threads.
class AudioStore {
 public:
  explicit AudioStore(const Catalogue& catalogue) : catalogue_(catalogue) {}

  // The WAV file at this path ("/audio/<sid>.wav"), or nullptr when it names no song.
  std::shared_ptr<const std::string> find(std::string_view path);

 private:
  const Catalogue& catalogue_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<const std::string>, std::less<>> files_;
};

}  // namespace orvelle::demo
