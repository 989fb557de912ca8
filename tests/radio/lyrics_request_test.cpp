// The lyrics request against the demo service.

#include "radio/lyrics_request.h"
#include "radio_test_support.h"

#include <httplib.h>

#include <thread>

namespace orvelle::test {
namespace {

class LyricsTest : public RadioTest {
 protected:
  // What the request for the current song's lyrics came to.
  LyricsAnswer Answer() {
    std::optional<LyricsAnswer> answer;
    RequestLyrics(state, requests, [&](const LyricsAnswer& given) { answer = given; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 30000));
    return answer.value_or(LyricsAnswer{});
  }
  QString Lyrics() { return Answer().text; }
};

TEST_F(LyricsTest, Rows) {
  const QString none = QString::fromUtf16(kNoLyricsText);
  const QString failed = QString::fromUtf16(kLyricsFailedText);
  struct Row {
    const char* name;
    QString sid, ssid;
    std::string fault;
    int requests;
    // Whether the answer stands for a failure, and what its text and ResponseText must satisfy.
    bool failure;
    std::function<void(const QString& result, const QString& response_text)> check;
  };
  const QString before = QStringLiteral("what the last request left");
  const std::vector<Row> rows = {
      {"no sid: no request", "", "d2b6", {}, 0, false,
       [&](const QString& result, const QString& text) {
         EXPECT_EQ(result, none);
         EXPECT_EQ(text, before);
       }},
      {"no ssid: no request", "1010", "", {}, 0, false,
       [&](const QString& result, const QString&) { EXPECT_EQ(result, none); }},
      {"lyrics of a song", "1010", "d2b6", {}, 1, false,
       [&](const QString& result, const QString& text) {
         EXPECT_NE(result, none);
         EXPECT_GT(result.count(u'\n'), 1) << "escaped line breaks stand as real ones";
         EXPECT_EQ(text, result);
       }},
      {"escaped quotes in the lyrics stay quotes", "1003", "0c93", {}, 1, false,
       [&](const QString& result, const QString&) { EXPECT_TRUE(result.contains(R"(I said "hello" to)")); }},
      {"a song without lyrics keeps the whole answer", "1008", "7b08", {}, 1, false,
       [&](const QString& result, const QString& text) {
         EXPECT_EQ(result, none);
         EXPECT_TRUE(text.contains(R"("sid":"1008")")) << text.toStdString();
       }},
      {"unknown song", "1", "2", {}, 1, false,
       [&](const QString& result, const QString& text) {
         EXPECT_EQ(result, none);
         EXPECT_TRUE(text.contains("song not found"));
       }},
      {"failed request keeps ResponseText", "1010", "d2b6", R"({"target":"lyric","kind":"status"})", 1, true,
       [&](const QString& result, const QString& text) {
         EXPECT_EQ(result, failed);
         EXPECT_EQ(text, before);
       }},
      {"malformed answer", "1010", "d2b6", R"({"target":"lyric","kind":"malformed"})", 1, true,
       [&](const QString& result, const QString& text) {
         EXPECT_EQ(result, failed);
         EXPECT_TRUE(text.startsWith("{")) << "the half answer stays";
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Fresh();
    state.CurrentSong.sid = row.sid;
    state.CurrentSong.ssid = row.ssid;
    state.ResponseText = before;
    if (!row.fault.empty()) DemoServiceEnvironment::AddFault(row.fault);
    const LyricsAnswer answer = Answer();
    EXPECT_EQ(answer.failed, row.failure);
    row.check(answer.text, state.ResponseText);
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
    state.CurrentSong.sid = "1010";
    state.CurrentSong.ssid = "d2b6";
    const LyricsAnswer answer = Answer();
    EXPECT_EQ(answer.text, QString::fromUtf16(kNoLyricsText));
    EXPECT_FALSE(answer.failed);
    EXPECT_EQ(state.ResponseText, QString::fromUtf8(body)) << "the answer stays, as for any song without lyrics";
  }
}

// After lyrics were shown, ResponseText holds them; a playlist request that fails then cannot
// parse them, and the load starts over.
TEST_F(LyricsTest, AFailedPlaylistRequestAfterLyricsStartsOver) {
  state.CurrentSong.sid = "1010";
  state.CurrentSong.ssid = "d2b6";
  Lyrics();
  state.ChannelId = "17";
  DemoServiceEnvironment::AddFault(R"({"target":"playlist","kind":"status"})");
  loader->LoadNextSong();
  ASSERT_TRUE(LoadEnds());
  EXPECT_EQ(DemoServiceEnvironment::Targets("/j/v2/playlist").size(), 2);
  EXPECT_EQ(state.CurrentSong.sid, "1010");
}

}  // namespace
}  // namespace orvelle::test
