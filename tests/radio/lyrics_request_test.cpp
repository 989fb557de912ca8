// The lyrics request against the demo service.

#include "radio/lyrics_request.h"
#include "radio_test_support.h"

namespace orvelle::test {
namespace {

class LyricsTest : public RadioTest {
 protected:
  // The current song's lyrics, once they have come.
  QString Lyrics() {
    std::optional<QString> lyrics;
    RequestLyrics(state, requests, [&](const QString& text) { lyrics = text; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return lyrics.has_value(); }, 30000));
    return lyrics.value_or(QString());
  }
};

TEST_F(LyricsTest, Rows) {
  const QString none = QString::fromUtf16(kNoLyricsText);
  struct Row {
    const char* name;
    QString sid, ssid;
    std::string fault;
    int requests;
    // What the result and ResponseText must satisfy.
    std::function<void(const QString& result, const QString& response_text)> check;
  };
  const QString before = QStringLiteral("what the last request left");
  const std::vector<Row> rows = {
      {"no sid: no request", "", "d2b6", {}, 0,
       [&](const QString& result, const QString& text) {
         EXPECT_EQ(result, none);
         EXPECT_EQ(text, before);
       }},
      {"no ssid: no request", "1010", "", {}, 0,
       [&](const QString& result, const QString&) { EXPECT_EQ(result, none); }},
      {"lyrics of a song", "1010", "d2b6", {}, 1,
       [&](const QString& result, const QString& text) {
         EXPECT_NE(result, none);
         EXPECT_GT(result.count(u'\n'), 1) << "escaped line breaks stand as real ones";
         EXPECT_EQ(text, result);
       }},
      {"escaped quotes in the lyrics stay quotes", "1003", "0c93", {}, 1,
       [&](const QString& result, const QString&) { EXPECT_TRUE(result.contains(R"(I said "hello" to)")); }},
      {"a song without lyrics keeps the whole answer", "1008", "7b08", {}, 1,
       [&](const QString& result, const QString& text) {
         EXPECT_EQ(result, none);
         EXPECT_TRUE(text.contains(R"("sid":"1008")")) << text.toStdString();
       }},
      {"unknown song", "1", "2", {}, 1,
       [&](const QString& result, const QString& text) {
         EXPECT_EQ(result, none);
         EXPECT_TRUE(text.contains("song not found"));
       }},
      {"failed request keeps ResponseText", "1010", "d2b6", R"({"target":"lyric","kind":"status"})", 1,
       [&](const QString& result, const QString& text) {
         EXPECT_EQ(result, none);
         EXPECT_EQ(text, before);
       }},
      {"malformed answer", "1010", "d2b6", R"({"target":"lyric","kind":"malformed"})", 1,
       [&](const QString& result, const QString& text) {
         EXPECT_EQ(result, none);
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
    const QString result = Lyrics();
    row.check(result, state.ResponseText);
    const QStringList targets = DemoServiceEnvironment::Targets("/j/v2/lyric");
    EXPECT_EQ(targets.size(), row.requests);
    if (!targets.isEmpty()) {
      EXPECT_EQ(targets[0], "/j/v2/lyric?sid=" + row.sid + "&ssid=" + row.ssid);
    }
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
