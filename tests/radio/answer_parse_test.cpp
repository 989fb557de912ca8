// The playlist answer's parse, the whole-number conversion and the countdown's texts, on texts
// made here.

#include "radio_test_support.h"
#include "service/error.h"
#include "service/service_text.h"

namespace orvelle::test {
namespace {

// A playlist answer with one song; `song_members` replaces or adds members of the song object
// (written as JSON text, placed before the defaults so that they win the lookup).
QString Answer(const QString& song_members = {}, const QString& singers = QStringLiteral(
                                                     R"([{"name":"Mara","avatar":"http:\/\/h\/s.png","id":"7"}])")) {
  const QString members = (song_members.isEmpty() ? QString() : song_members + ",") +
                          R"("albumtitle":"Album","url":"http:\/\/h\/a.wav","album":"\/subject\/1\/","file_ext":"wav",)"
                          R"("title":"Title","picture":"http:\/\/h\/c.jpg","update_time":1617235200,)"
                          R"("public_time":"2021","length":245,"sid":"1002","ssid":"b7e2","singers":)" +
                          singers;
  return QStringLiteral(R"({"r":0,"song":[{)") + members + QStringLiteral("}]}");
}

TEST(AnswerParse, FillsTheSongFromAnAnswerOfOneSongWithOneSinger) {
  const CurrentSongRecord s = ParseSongAnswer(QStringLiteral("\x01\t ") + Answer() + QStringLiteral(" \x1f\r\n"));
  EXPECT_EQ(s.albumtitle, "Album");
  EXPECT_EQ(s.url, "http://h/a.wav");
  EXPECT_EQ(s.album, "/subject/1/");
  EXPECT_EQ(s.file_ext, "wav");
  EXPECT_EQ(s.title, "Title");
  EXPECT_EQ(s.picture, "http://h/c.jpg");
  EXPECT_EQ(s.update_time, "1617235200");
  EXPECT_EQ(s.public_time, "2021");
  EXPECT_EQ(s.length, "245");
  EXPECT_EQ(s.sid, "1002");
  EXPECT_EQ(s.ssid, "b7e2");
  EXPECT_EQ(s.singer_name, "Mara");
  EXPECT_EQ(s.singer_avatar, "http://h/s.png");
}

TEST(AnswerParse, MembersAndShapes) {
  struct Case {
    const char* name;
    QString answer;
    bool parses;
    qint32 remaining = 0;
    QString title = QStringLiteral("Title");
    QString albumtitle = QStringLiteral("Album");
  };
  const QString one_singer = R"([{"name":"A","avatar":"x"}])";
  const std::vector<Case> cases = {
      {"length as a number", Answer(R"("length":245)"), true, 245},
      {"length as a string", Answer(R"("length":"245")"), true, 245},
      {"length in hexadecimal", Answer(R"("length":"$F5")"), true, 245},
      {"length with leading spaces", Answer(R"("length":"  245")"), true, 245},
      {"negative length", Answer(R"("length":-3)"), true, -3},
      {"largest length", Answer(R"("length":2147483647)"), true, 2147483647},
      {"fractional length", Answer(R"("length":245.5)"), false},
      {"empty length", Answer(R"("length":"")"), false},
      {"length with trailing space", Answer(R"("length":"245 ")"), false},
      {"length with an exponent", Answer(R"("length":2e2)"), false},
      {"length beyond 32 bits", Answer(R"("length":2147483648)"), false},
      // String members are read as their JSON string values.
      {"escaped quotes in the title stay quotes", Answer(R"("title":"say \"hi\"")"), true, 245, R"(say "hi")"},
      {"an escaped backslash stays one backslash", Answer(R"("albumtitle":"a\\tb")"), true, 245, "Title",
       R"(a\tb)"},
      {"escaped line breaks and slashes", Answer(R"("title":"a\nb\/c")"), true, 245, "a\nb/c"},
      {"two singers", Answer({}, one_singer.chopped(1) + R"(,{"name":"B","avatar":"y"}])"), false},
      {"no singers", Answer({}, "[]"), false},
      {"singers not an array of objects", Answer({}, R"(["A"])"), false},
      {"no songs", R"({"r":0,"song":[]})", false},
      {"two songs", R"({"song":[{"a":1},{"b":2}]})", false},
      {"song an object, not an array", R"({"song":{"title":"x"}})", false},
      {"missing member", R"({"song":[{"albumtitle":"x"}]})", false},
      {"not JSON", "<html>", false},
      {"an array, not an object", "[1]", false},
      {"empty", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.parses) {
      EXPECT_THROW(ParseSongAnswer(c.answer), Error);
      continue;
    }
    CurrentSongRecord song;
    ASSERT_NO_THROW(song = ParseSongAnswer(c.answer));
    EXPECT_EQ(TextToInt(song.length), c.remaining);
    EXPECT_EQ(song.title, c.title);
    EXPECT_EQ(song.albumtitle, c.albumtitle);
  }
}

// What a label may be given: one line, no direction controls, at most 500 characters and "…".
TEST(DisplayCaption, MakesTextsSafeForALabel) {
  const QString bmp499 = QString(kMaxCaptionLength - 1, u'a');
  const QString clef = QStringLiteral("\U0001D11E");  // a surrogate pair
  struct Case {
    const char* name;
    QString text;
    QString shown;
  };
  const std::vector<Case> cases = {
      {"plain text stays", QStringLiteral("Say \"Hello\" Again"), QStringLiteral("Say \"Hello\" Again")},
      {"line breaks and controls become spaces", QStringLiteral("a\r\nb\tc\x7f") + QChar(0x85) + QChar(0x2028) + "d",
       QStringLiteral("a  b c   d")},
      {"direction controls are dropped",
       QString(QChar(0x202E)) + "evil" + QChar(0x2066) + "x" + QChar(0x2069) + QChar(0x202C), QStringLiteral("evilx")},
      {"500 characters stay whole", QString(kMaxCaptionLength, u'b'), QString(kMaxCaptionLength, u'b')},
      {"501 are cut with an ellipsis", QString(kMaxCaptionLength + 1, u'b'),
       QString(kMaxCaptionLength, u'b') + QChar(0x2026)},
      {"dropped characters do not count", QString(kMaxCaptionLength, u'b') + QChar(0x202E),
       QString(kMaxCaptionLength, u'b')},
      {"a pair is never split", bmp499 + clef, bmp499 + QChar(0x2026)},
      {"a pair that fits stays", QString(kMaxCaptionLength - 2, u'a') + clef,
       QString(kMaxCaptionLength - 2, u'a') + clef},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DisplayCaption(c.text), c.shown);
  }
  // Ten million characters: only what is kept is looked at.
  const QString huge(10'000'000, u'x');
  const QString shown = DisplayCaption(huge);
  EXPECT_EQ(shown.size(), kMaxCaptionLength + 1);
  EXPECT_LE(shown.capacity(), 2 * (kMaxCaptionLength + 1));
}

TEST(TextToInt, Forms) {
  const std::vector<std::pair<QString, qint32>> good = {
      {"0", 0},          {"+7", 7},          {"  12", 12},         {"-2147483648", INT32_MIN}, {"$ff", 255},
      {"x1F", 31},       {"X10", 16},        {"0x7fffffff", INT32_MAX}, {"0X10", 16},      {"-$10", -16}};
  for (const auto& [text, value] : good) EXPECT_EQ(TextToInt(text), value) << text.toStdString();
  for (const char* bad : {"", " ", "-", "$", "0x", "1e3", "12a", "1.0", "2147483648", "-2147483649", "\t1", "1 ",
                          "0x100000000", "٣"}) {
    EXPECT_THROW(TextToInt(QString::fromUtf8(bad)), Error) << bad;
  }
}

// The remaining-time text and the progress of a count: minutes and seconds both truncated
// toward zero, the seconds written with at least two digits after any minus sign.
TEST(Countdown, RemainingTextAndProgress) {
  struct Case {
    qint32 length;
    qint32 remaining;
    const char* text;
    int progress;
  };
  const Case cases[] = {
      {245, 244, "- 4 :04", 1},  {1, 0, "- 0 :00", 1},     {0, -1, "- 0 :-01", 1},
      {245, 60, "- 1 :00", 185}, {30, -61, "- -1 :-01", 91}, {INT32_MIN, INT32_MIN, "- -35791394 :-08", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    RadioState state;
    state.length_seconds = c.length;
    state.remaining_seconds = c.remaining;
    EXPECT_EQ(state.RemainingText(), c.text);
    EXPECT_EQ(state.ProgressValue(), c.progress);
  }
}

}  // namespace
}  // namespace orvelle::test
