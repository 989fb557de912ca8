#pragma once

#include "catalogue.h"

#include <string>
#include <string_view>
#include <vector>

namespace orvelle::demo {

// Addresses below the service's base address (scheme, host and port, no trailing slash).
std::string coverPath(const Song& song);
std::string singerPicturePath(const Singer& singer);
// The song's audio comes as MP3, as the real service sends it (the address the playlist names),
// and as WAV for tests that need its exact samples.
enum class AudioFormat { Mp3, Wav };
std::string audioPath(const Song& song, AudioFormat format = AudioFormat::Mp3);

struct PlaylistOptions {
  int singersPerSong = 1;  // 0, 1 or 2: a song object's "singers" array holds this many
  bool escapeNonAscii = false;
};

// The playlist answer: {"r":0,...,"song":[...]} with one song object per entry of songs
// (an empty array when songs is empty, which is how the service answers a channel without songs).
std::string playlistAnswer(const Catalogue& catalogue, const std::vector<const Song*>& songs,
                           std::string_view baseUrl, const PlaylistOptions& options);

// The lyrics answer of a song: with a "lyric" member when the song has lyrics, without one otherwise.
std::string lyricAnswer(const Song& song, bool escapeNonAscii);

// The lyrics answer for a sid and ssid that name no song.
std::string unknownSongAnswer();

// A playlist answer cut short in the middle of the song object: not JSON.
std::string malformedAnswer(const std::string& wellFormed);

}  // namespace orvelle::demo
