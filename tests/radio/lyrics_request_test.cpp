// The lyrics request against the demo service.

#include "radio/lyrics_request.h"
#include "radio_test_support.h"

#include <httplib.h>

#include <thread>

namespace orvelle::test {
namespace {

class LyricsTest : public RadioTest {
 protected:
  // What the request for the song's lyrics came to, once it has come.
  LyricsAnswer Answer(const CurrentSongRecord& song) {
    http::HttpClient client;
    ClientRequests requests(client);
    std::optional<LyricsAnswer> answer;
    RequestLyrics(song, requests, [&](const LyricsAnswer& given) { answer = given; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 30000));
    return answer.value_or(LyricsAnswer{});
  }
  QString Lyrics(const CurrentSongRecord& song) { return Answer(song).text; }
};

// The lyrics of the song asked for, or "无歌词": never what an earlier answer left.
TEST_F(LyricsTest, Rows) {
  const QString none = QString::fromUtf16(kNoLyricsText);
  const QString failed = QString::fromUtf16(kLyricsFailedText);
  struct Row {
    const char* name;
    QString sid, ssid;
    std::string fault;
    int requests;
    // Whether the answer stands for a failure, and what its text must satisfy.
    bool failure;
    std::function<void(const QString& result)> check;
  };
  const auto no_lyrics = [&](const QString& result) { EXPECT_EQ(result, none); };
  const auto failed_lyrics = [&](const QString& result) { EXPECT_EQ(result, failed); };
  const std::vector<Row> rows = {
      {"no sid: no request", "", "d2b6", {}, 0, false, no_lyrics},
      {"no ssid: no request", "1010", "", {}, 0, false, no_lyrics},
      {"lyrics of a song", "1010", "d2b6", {}, 1, false,
       [&](const QString& result) {
         EXPECT_NE(result, none);
         EXPECT_GT(result.count(u'\n'), 1) << "escaped line breaks stand as real ones";
       }},
      {"escaped quotes in the lyrics stay quotes", "1003", "0c93", {}, 1, false,
       [&](const QString& result) { EXPECT_TRUE(result.contains(R"(I said "hello" to)")); }},
      {"a song without lyrics", "1008", "7b08", {}, 1, false, no_lyrics},
      {"unknown song", "1", "2", {}, 1, false, no_lyrics},
      {"failed request", "1010", "d2b6", R"({"target":"lyric","kind":"status"})", 1, true, failed_lyrics},
      {"malformed answer", "1010", "d2b6", R"({"target":"lyric","kind":"malformed"})", 1, true, failed_lyrics},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DemoServiceEnvironment::Reset();
    // Another song's lyrics came just before: they never stand in for this song's.
    CurrentSongRecord before;
    before.sid = "1010";
    before.ssid = "d2b6";
    Lyrics(before);
    DemoServiceEnvironment::Reset();
    CurrentSongRecord song;
    song.sid = row.sid;
    song.ssid = row.ssid;
    if (!row.fault.empty()) DemoServiceEnvironment::AddFault(row.fault);
    const LyricsAnswer answer = Answer(song);
    EXPECT_EQ(answer.failed, row.failure);
    row.check(answer.text);
    const QStringList targets = DemoServiceEnvironment::Targets("/j/v2/lyric");
    EXPECT_EQ(targets.size(), row.requests);
    if (!targets.isEmpty()) {
      EXPECT_EQ(targets[0], "/j/v2/lyric?sid=" + row.sid + "&ssid=" + row.ssid);
    }
  }
}

// A service answering the lyrics request with one fixed body, in place of the demo service.
class FixedLyricsService {
 public:
  explicit FixedLyricsService(std::string body) {
    server_.Get("/j/v2/lyric", [body = std::move(body)](const httplib::Request&, httplib::Response& response) {
      response.set_content(body, "application/json; charset=utf-8");
    });
    const int port = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    qputenv("ORVELLE_SERVICE_URL", QStringLiteral("http://127.0.0.1:%1").arg(port).toUtf8());
  }
  ~FixedLyricsService() {
    qputenv("ORVELLE_SERVICE_URL", DemoServiceEnvironment::Base().toUtf8());
    server_.stop();
    thread_.join();
  }

 private:
  httplib::Server server_;
  std::thread thread_;
};

// A "lyric" member that is null or empty is a song without lyrics, not the text "null" or an
// empty panel.
TEST_F(LyricsTest, ANullOrEmptyLyricIsASongWithoutLyrics) {
  for (const char* body : {R"({"lyric":null,"sid":"1010"})", R"({"lyric":"","sid":"1010"})"}) {
    SCOPED_TRACE(body);
    FixedLyricsService service(body);
    CurrentSongRecord song;
    song.sid = "1010";
    song.ssid = "d2b6";
    const LyricsAnswer answer = Answer(song);
    EXPECT_EQ(answer.text, QString::fromUtf16(kNoLyricsText));
    EXPECT_FALSE(answer.failed);
  }
}

}  // namespace
}  // namespace orvelle::test
