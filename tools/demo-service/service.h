#pragma once

#include "audio.h"
#include "catalogue.h"
#include "faults.h"
#include "pictures.h"

#include <httplib.h>

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace orvelle::demo {

// The part of a file that a request asks for.
struct ByteRange {
  size_t first = 0;
  size_t length = 0;
  bool partial = false;        // answered with 206 and Content-Range
  bool unsatisfiable = false;  // answered with 416
};
ByteRange resolveRange(const httplib::Ranges& ranges, size_t size);

// The service's routes, shared by its plain and TLS listeners:
//   GET  /j/v2/playlist?channel=..   one song of the channel
//   GET  /j/v2/lyric?sid=..&ssid=..  the song's lyrics
//   GET  /img/covers/<sid>.<ext>, /img/singers/<id>.<ext>   pictures
//   GET  /audio/<sid>.mp3, .wav      audio, with byte ranges
//   GET|POST|DELETE /_demo/faults    list, add, clear fault switches
//   GET|DELETE /_demo/requests       the log of requests received (newest last), or clear it
class DemoService {
 public:
  DemoService(const Catalogue& catalogue, const PictureStore& pictures, AudioStore& audio,
              FaultBoard& faults, bool escapeNonAscii);

  // Installs the routes on a listener whose answers name addresses below baseUrl.
  void install(httplib::Server& server, const std::string& baseUrl);

  // How many requests the log keeps.
  static constexpr size_t kLogLimit = 200;

 private:
  void playlist(const httplib::Request& request, httplib::Response& response, const std::string& baseUrl);
  void lyric(const httplib::Request& request, httplib::Response& response);
  void picture(const httplib::Request& request, httplib::Response& response);
  void audio(const httplib::Request& request, httplib::Response& response);
  void log(const httplib::Request& request, const httplib::Response& response);
  std::string describeLog() const;
  // An outage: the service answers no audio request until `length` from now has passed.
  void startOutage(std::chrono::milliseconds length);
  // Holds an audio request until the outage under way, if any, has ended, as a request sent
  // while the network is down goes through once it is back.
  void waitOutOutage();

  const Catalogue& catalogue_;
  const PictureStore& pictures_;
  AudioStore& audio_;
  FaultBoard& faults_;
  bool escapeNonAscii_;

  std::mutex cursorMutex_;
  std::map<std::string, size_t> cursors_;  // next song of each channel

  std::mutex outageMutex_;
  std::chrono::steady_clock::time_point outageEnds_;

  mutable std::mutex logMutex_;
  std::deque<std::string> log_;  // one JSON object per request
};

}  // namespace orvelle::demo
