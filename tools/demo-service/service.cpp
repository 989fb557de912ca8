#include "service.h"

#include "answers.h"
#include "json_writer.h"
#include "service/error.h"

#include <chrono>
#include <functional>
#include <optional>
#include <thread>

namespace orvelle::demo {

namespace {

constexpr const char* kJsonType = "application/json; charset=utf-8";
constexpr const char* kTextType = "text/plain; charset=utf-8";

// An error answer: the status with a short text saying why.
void answerStatus(httplib::Response& response, int status, const char* why = "demo fault") {
  response.status = status;
  response.set_content(std::string(why) + ": status " + std::to_string(status) + "\n", kTextType);
}

}  // namespace

// The bytes a GET with these ranges asks for. Only a single range is honoured; a request for
// several gets the whole file (a server may ignore Range).
ByteRange resolveRange(const httplib::Ranges& ranges, size_t size) {
  ByteRange whole{0, size, false, false};
  if (ranges.size() != 1) return whole;
  const auto [first, last] = ranges.front();
  if (first < 0) {
    // A suffix: the last "last" bytes.
    if (last <= 0) return {0, 0, false, true};
    const size_t length = std::min(size, static_cast<size_t>(last));
    return {size - length, length, true, false};
  }
  if (static_cast<size_t>(first) >= size) return {0, 0, false, true};
  const size_t end = last < 0 ? size : std::min(size, static_cast<size_t>(last) + 1);
  if (end <= static_cast<size_t>(first)) return {0, 0, false, true};
  return {static_cast<size_t>(first), end - static_cast<size_t>(first), true, false};
}

namespace {

// When the request being handled on this worker thread arrived, on the machine's monotonic clock
// (CLOCK_MONOTONIC, which every process of the machine shares): a measuring script compares it
// with its own clock. Set before routing; the log entry is written after the handler.
thread_local long long requestReceivedUs = 0;

long long monotonicMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void pause(const Fault& fault) { std::this_thread::sleep_for(std::chrono::milliseconds(fault.delayMs)); }

// The byte ranges of a request, taken off it: the library would apply them again after the
// handler, and it miscounts a range that starts past the end, so the file routes answer them.
httplib::Ranges takeRanges(const httplib::Request& request) {
  httplib::Ranges ranges;
  // The request object is the library's own non-const local; handlers only see it as const.
  std::swap(ranges, const_cast<httplib::Request&>(request).ranges);
  return ranges;
}

// Where an answer's body breaks off: after this many bytes of it, `then` runs on the answering
// thread and the connection closes without the rest.
struct BodyCut {
  size_t afterBytes = 0;
  std::function<void()> then;
};

// Answers with the bytes, whole or the one range asked for: Content-Length always,
// Accept-Ranges, 206 with Content-Range for a range, 416 for a range outside the bytes.
void serveBytes(const httplib::Ranges& ranges, httplib::Response& response,
                std::shared_ptr<const std::string> bytes, const std::string& mediaType,
                std::optional<BodyCut> cut = std::nullopt) {
  response.set_header("Accept-Ranges", "bytes");
  const ByteRange range = resolveRange(ranges, bytes->size());
  if (range.unsatisfiable) {
    response.status = 416;
    response.set_header("Content-Range", "bytes */" + std::to_string(bytes->size()));
    return;
  }
  if (range.partial) {
    response.status = 206;
    response.set_header("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                             std::to_string(range.first + range.length - 1) + "/" +
                                             std::to_string(bytes->size()));
  }
  if (range.length == 0) {
    // An empty body still goes out with Content-Length: 0.
    response.set_content("", mediaType.c_str());
    return;
  }
  response.set_content_provider(
      range.length, mediaType.c_str(), [bytes, range, cut](size_t offset, size_t length, httplib::DataSink& sink) {
        if (cut && offset >= cut->afterBytes) {
          cut->then();
          return false;
        }
        const size_t begin = range.first + offset;
        size_t end = std::min(range.first + range.length, begin + length);
        if (cut) end = std::min(end, range.first + cut->afterBytes);
        if (begin < end) sink.write(bytes->data() + begin, end - begin);
        return true;
      });
}

}  // namespace

DemoService::DemoService(const Catalogue& catalogue, const PictureStore& pictures, AudioStore& audio,
                         FaultBoard& faults, bool escapeNonAscii)
    : catalogue_(catalogue), pictures_(pictures), audio_(audio), faults_(faults), escapeNonAscii_(escapeNonAscii) {}

void DemoService::install(httplib::Server& server, const std::string& baseUrl) {
  using httplib::Request;
  using httplib::Response;
  server.Get("/j/v2/playlist", [this, baseUrl](const Request& q, Response& r) { playlist(q, r, baseUrl); });
  server.Get("/j/v2/lyric", [this](const Request& q, Response& r) { lyric(q, r); });
  server.Get(R"(/img/.*)", [this](const Request& q, Response& r) { picture(q, r); });
  server.Get(R"(/audio/.*)", [this](const Request& q, Response& r) { audio(q, r); });

  server.Get("/_demo/faults", [this](const Request&, Response& r) { r.set_content(faults_.describe(), kJsonType); });
  server.Post("/_demo/faults", [this](const Request& q, Response& r) {
    try {
      faults_.add(parseFault(q.body));
      r.set_content(faults_.describe(), kJsonType);
    } catch (const Error& error) {
      r.status = 400;
      r.set_content(std::string(error.what()) + "\n", kTextType);
    }
  });
  server.Delete("/_demo/faults", [this](const Request&, Response& r) {
    faults_.clear();
    r.set_content(faults_.describe(), kJsonType);
  });
  server.Get("/_demo/requests", [this](const Request&, Response& r) { r.set_content(describeLog(), kJsonType); });
  server.Delete("/_demo/requests", [this](const Request&, Response& r) {
    std::lock_guard lock(logMutex_);
    log_.clear();
    r.status = 204;
  });

  // Logged just before the answer is written, so a client that reads the log right after its
  // own answer always finds its request there.
  server.set_pre_routing_handler([](const Request&, Response&) {
    requestReceivedUs = monotonicMicroseconds();
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server.set_post_routing_handler([this](const Request& q, Response& r) { log(q, r); });
  server.set_exception_handler([](const Request&, Response& r, std::exception_ptr) {
    r.status = 500;
    r.set_content("internal error\n", kTextType);
  });
}

void DemoService::playlist(const httplib::Request& request, httplib::Response& response, const std::string& baseUrl) {
  const std::optional<Fault> fault = faults_.take(FaultTarget::Playlist, request.target);
  if (fault && fault->kind == FaultKind::Status) return answerStatus(response, fault->status);
  if (fault && fault->kind == FaultKind::Delay) pause(*fault);

  // The channel's songs in turn; an unknown or empty channel has none and gets an empty array.
  std::vector<const Song*> songs;
  if (const Channel* channel = catalogue_.findChannel(request.get_param_value("channel"))) {
    const size_t wanted = fault && fault->kind == FaultKind::TwoSongs ? 2 : 1;
    std::lock_guard lock(cursorMutex_);
    size_t& cursor = cursors_[channel->id];
    for (size_t i = 0; i < wanted; ++i) songs.push_back(catalogue_.findSong(channel->sids[cursor++ % channel->sids.size()]));
  }
  if (fault && fault->kind == FaultKind::NoSongs) songs.clear();

  PlaylistOptions options;
  options.escapeNonAscii = escapeNonAscii_;
  if (fault && fault->kind == FaultKind::TwoSingers) options.singersPerSong = 2;
  if (fault && fault->kind == FaultKind::NoSingers) options.singersPerSong = 0;
  std::string body = playlistAnswer(catalogue_, songs, baseUrl, options);
  if (fault && fault->kind == FaultKind::Malformed) body = malformedAnswer(body);
  response.set_content(body, kJsonType);
}

void DemoService::lyric(const httplib::Request& request, httplib::Response& response) {
  const std::optional<Fault> fault = faults_.take(FaultTarget::Lyric, request.target);
  if (fault && fault->kind == FaultKind::Status) return answerStatus(response, fault->status);
  if (fault && fault->kind == FaultKind::Delay) pause(*fault);
  const Song* song = catalogue_.findSong(request.get_param_value("sid"));
  std::string body = song && song->ssid == request.get_param_value("ssid") ? lyricAnswer(*song, escapeNonAscii_)
                                                                             : unknownSongAnswer();
  if (fault && fault->kind == FaultKind::Malformed) body = malformedAnswer(body);
  response.set_content(body, kJsonType);
}

void DemoService::picture(const httplib::Request& request, httplib::Response& response) {
  const httplib::Ranges ranges = takeRanges(request);
  const EncodedPicture* picture = pictures_.find(request.path);
  if (!picture) return answerStatus(response, 404, "no such picture");
  const std::optional<Fault> fault = faults_.take(FaultTarget::Picture, request.target);
  std::shared_ptr<const std::string> bytes;
  if (!fault || fault->kind == FaultKind::Delay) {
    if (fault) pause(*fault);
    // The pictures live as long as the service; the pointer does not own them.
    bytes = std::shared_ptr<const std::string>(&picture->bytes, [](const std::string*) {});
  } else if (fault->kind == FaultKind::Status) {
    return answerStatus(response, fault->status);
  } else if (fault->kind == FaultKind::Empty) {
    bytes = std::make_shared<const std::string>();
  } else if (fault->kind == FaultKind::OneByte) {
    bytes = std::make_shared<const std::string>(picture->bytes.substr(0, 1));
  } else {
    // Starts like no picture format: neither a GIF, JPEG, PNG, BMP, icon nor metafile signature.
    bytes = std::make_shared<const std::string>("\x7F" "not a picture, just some bytes" "\x01\x02\x03");
  }
  serveBytes(ranges, response, std::move(bytes), picture->mediaType);
}

void DemoService::audio(const httplib::Request& request, httplib::Response& response) {
  const httplib::Ranges ranges = takeRanges(request);
  AudioFile file = audio_.find(request.path);
  if (!file.bytes) return answerStatus(response, 404, "no such song");
  waitOutOutage();
  const std::optional<Fault> fault = faults_.take(FaultTarget::Audio, request.target);
  if (fault && fault->kind == FaultKind::Status) return answerStatus(response, fault->status);
  if (fault && fault->kind == FaultKind::Delay) pause(*fault);
  std::optional<BodyCut> cut;
  if (fault && fault->kind == FaultKind::Outage) {
    const auto length = std::chrono::milliseconds(fault->delayMs);
    cut = BodyCut{static_cast<size_t>(fault->afterBytes), [this, length] {
                    startOutage(length);
                    std::this_thread::sleep_for(length);
                  }};
  }
  serveBytes(ranges, response, std::move(file.bytes), file.mediaType, std::move(cut));
}

void DemoService::startOutage(std::chrono::milliseconds length) {
  std::lock_guard lock(outageMutex_);
  outageEnds_ = std::chrono::steady_clock::now() + length;
}

void DemoService::waitOutOutage() {
  std::chrono::steady_clock::time_point ends;
  {
    std::lock_guard lock(outageMutex_);
    ends = outageEnds_;
  }
  std::this_thread::sleep_until(ends);
}

void DemoService::log(const httplib::Request& request, const httplib::Response& response) {
  if (request.path.starts_with("/_demo/")) return;
  JsonWriter json;
  json.beginObject();
  json.key("method").string(request.method);
  json.key("target").string(request.target);
  json.key("headers").beginArray();
  for (const auto& [name, value] : request.headers) {
    // The library adds these itself; they were not sent by the client.
    if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT") continue;
    json.beginArray().string(name).string(value).endArray();
  }
  json.endArray();
  json.key("status").number(response.status);
  json.key("received_us").number(requestReceivedUs);
  json.endObject();
  std::lock_guard lock(logMutex_);
  log_.push_back(json.text());
  if (log_.size() > kLogLimit) log_.pop_front();
}

std::string DemoService::describeLog() const {
  std::lock_guard lock(logMutex_);
  std::string out = "{\"requests\":[";
  for (size_t i = 0; i < log_.size(); ++i) {
    if (i) out += ',';
    out += log_[i];
  }
  out += "]}";
  return out;
}

}  // namespace orvelle::demo
