#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace orvelle::demo {

// What a fault applies to.
enum class FaultTarget { Playlist, Lyric, Picture, Audio };

// How the answer goes wrong.
enum class FaultKind {
  Status,      // answer with an error status (default 500 for playlist and lyrics, 404 otherwise)
  Delay,       // wait delay_ms, then answer normally
  Malformed,   // playlist, lyrics: a body that is not JSON
  TwoSingers,  // playlist: the song names two singers
  NoSingers,   // playlist: the song names no singer
  NoSongs,     // playlist: an empty song array
  TwoSongs,    // playlist: two songs
  Empty,       // picture: 200 with an empty body
  OneByte,     // picture: 200 with a body of one byte
  Garbage,     // picture: 200 with bytes that no picture decoder recognises
  Outage,      // audio: the body stops after after_bytes, and the service is out for delay_ms
};

struct Fault {
  FaultTarget target = FaultTarget::Playlist;
  FaultKind kind = FaultKind::Status;
  int status = 0;     // for Status
  int delayMs = 0;    // for Delay and Outage
  int afterBytes = 0; // for Outage
  int count = 1;      // how many of the matching requests it still applies to
  std::string match;  // when not empty, only requests whose path contains it
};

// Parses one fault from its JSON form, for example
//   {"target":"picture","kind":"status","status":404,"count":3,"match":"/covers/"}
// Members: target (playlist, lyric, picture, audio), kind (status, delay, malformed,
// two_singers, no_singers, no_songs, two_songs, empty, one_byte, garbage, outage), and optional
// status (100..599), delay_ms (0..600000), after_bytes (0..1000000000, default 0), count
// (1..10000, default 1) and match.
// Throws orvelle::Error naming what is wrong, including a kind the target does not support.
Fault parseFault(std::string_view json);

// The JSON form of a fault, as parseFault reads it.
std::string describeFault(const Fault& fault);

// The pending faults. Each request asks for the first pending fault of its target whose match
// fits its path; that fault applies once and is dropped when its count reaches zero.
// Safe to use from several threads.
class FaultBoard {
 public:
  void add(Fault fault);
  std::optional<Fault> take(FaultTarget target, std::string_view path);
  void clear();
  // {"faults":[...]} with the pending faults in order.
  std::string describe() const;

 private:
  mutable std::mutex mutex_;
  std::deque<Fault> pending_;
};

}  // namespace orvelle::demo
