// The lyrics request against the demo service.

#include "radio/lyrics_request.h"
#include "radio_test_support.h"

namespace orvelle::test {
namespace {

class LyricsTest : public RadioTest {
 protected:
  // The song's lyrics, once they have come.
  QString Lyrics(const CurrentSongRecord& song) {
    http::HttpClient client;
    ClientRequests requests(client);
    std::optional<QString> lyrics;
    RequestLyrics(song, requests, [&](const QString& text) { lyrics = text; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return lyrics.has_value(); }, 30000));
    return lyrics.value_or(QString());
  }
};

// The lyrics of the song asked for, or "无歌词": never what an earlier answer left.
TEST_F(LyricsTest, Rows) {
  const QString none = QString::fromUtf16(kNoLyricsText);
  struct Row {
    const char* name;
    QString sid, ssid;
    std::string fault;
    int requests;
    std::function<void(const QString& result)> check;
  };
  const auto no_lyrics = [&](const QString& result) { EXPECT_EQ(result, none); };
  const std::vector<Row> rows = {
      {"no sid: no request", "", "d2b6", {}, 0, no_lyrics},
      {"no ssid: no request", "1010", "", {}, 0, no_lyrics},
      {"lyrics of a song", "1010", "d2b6", {}, 1,
       [&](const QString& result) {
         EXPECT_NE(result, none);
         EXPECT_GT(result.count(u'\n'), 1) << "escaped line breaks stand as real ones";
       }},
      {"escaped quotes in the lyrics stay quotes", "1003", "0c93", {}, 1,
       [&](const QString& result) { EXPECT_TRUE(result.contains(R"(I said "hello" to)")); }},
      {"a song without lyrics", "1008", "7b08", {}, 1, no_lyrics},
      {"unknown song", "1", "2", {}, 1, no_lyrics},
      {"failed request", "1010", "d2b6", R"({"target":"lyric","kind":"status"})", 1, no_lyrics},
      {"malformed answer", "1010", "d2b6", R"({"target":"lyric","kind":"malformed"})", 1, no_lyrics},
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
    row.check(Lyrics(song));
    const QStringList targets = DemoServiceEnvironment::Targets("/j/v2/lyric");
    EXPECT_EQ(targets.size(), row.requests);
    if (!targets.isEmpty()) {
      EXPECT_EQ(targets[0], "/j/v2/lyric?sid=" + row.sid + "&ssid=" + row.ssid);
    }
  }
}

}  // namespace
}  // namespace orvelle::test
