// The demo service's pieces on their own: JSON text, catalogue, answers, audio, ranges, faults
// and pictures.
#include "answers.h"
#include "audio.h"
#include "catalogue.h"
#include "faults.h"
#include "json_writer.h"
#include "pictures.h"
#include "service.h"
#include "service/error.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace orvelle::demo {
namespace {

QJsonObject parseObject(const std::string& text) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
  EXPECT_TRUE(document.isObject()) << text;
  return document.object();
}

TEST(JsonWriter, QuotesStringsAsTheServiceDoes) {
  struct Case {
    const char* input;
    bool escapeNonAscii;
    const char* expected;
  };
  const Case cases[] = {
      {"plain", false, R"("plain")"},
      {"http://h/a", false, R"("http:\/\/h\/a")"},
      {"say \"hi\"", false, R"("say \"hi\"")"},
      {"C:\\x", false, R"("C:\\x")"},
      {"a\nb\tc\rd\be\ff", false, R"("a\nb\tc\rd\be\ff")"},
      {"\x01\x1f", false, R"("\u0001\u001f")"},
      {"中文", false, "\"中文\""},
      {"中文", true, R"("\u4e2d\u6587")"},
      {"é😀", true, R"("\u00e9\ud83d\ude00")"},
      {"é😀", false, "\"é😀\""},
      // Invalid UTF-8 (a lone continuation byte, a truncated sequence) becomes U+FFFD.
      {"a\x80z", false, "\"a\xEF\xBF\xBDz\""},
      {"a\xE4\xB8", true, R"("a\ufffd\ufffd")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(JsonWriter::quote(c.input, c.escapeNonAscii), c.expected);
  }
}

TEST(JsonWriter, PlacesCommasAndColonsInNestedValues) {
  JsonWriter json;
  json.beginObject();
  json.key("a").beginArray().number(1).string("x").beginObject().endObject().beginArray().endArray().endArray();
  json.key("b").boolean(true);
  json.key("c").null();
  json.key("d").number(-5);
  json.endObject();
  EXPECT_EQ(json.text(), R"({"a":[1,"x",{},[]],"b":true,"c":null,"d":-5})");
}

// The channel ids of the program's channel drop-down, the blank row aside.
const char* const kProgramChannels[] = {"-10", "61", "187", "2",  "1",  "3",   "4",   "5",   "6",   "17",
                                        "18",  "8",  "7",   "13", "27", "14",  "9",   "76",  "16",  "10",
                                        "28",  "153", "151", "152", "154", "155", "77", "32", "257"};

TEST(Catalogue, EveryChannelOfTheProgramHasSongsThatExist) {
  const Catalogue catalogue;
  for (const char* id : kProgramChannels) {
    SCOPED_TRACE(id);
    const Channel* channel = catalogue.findChannel(id);
    ASSERT_NE(channel, nullptr);
    ASSERT_FALSE(channel->sids.empty());
    for (const std::string& sid : channel->sids) EXPECT_NE(catalogue.findSong(sid), nullptr) << sid;
  }
  EXPECT_EQ(catalogue.findChannel(""), nullptr);
  EXPECT_EQ(catalogue.findChannel("999"), nullptr);
}

TEST(Catalogue, SongsExerciseTheProgram) {
  const Catalogue catalogue;
  const auto& songs = catalogue.songs();
  std::set<std::string> sids, titles;
  int withoutLyrics = 0, multiLineLyrics = 0;
  bool quote = false, ampersand = false, longTitle = false, chineseTitle = false, latinTitle = false;
  bool chineseSinger = false, latinSinger = false;
  std::set<PictureFormat> coverFormats, singerFormats;
  const auto isChinese = [](const std::string& text) {
    const QString q = QString::fromStdString(text);
    return std::any_of(q.begin(), q.end(), [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
  };
  const auto isLatin = [](const std::string& text) { return !text.empty() && std::isalpha(static_cast<unsigned char>(text[0])); };
  for (const Song& song : songs) {
    SCOPED_TRACE(song.sid);
    sids.insert(song.sid);
    titles.insert(song.title);
    EXPECT_GE(song.lengthSeconds, 20);
    EXPECT_LE(song.lengthSeconds, 45);
    EXPECT_EQ(song.ssid.size(), 4u);
    const Singer* singer = catalogue.findSinger(song.singerId);
    ASSERT_NE(singer, nullptr);
    // The program reads the song object's texts again as JSON; a backslash would change them.
    for (const std::string* text : {&song.title, &song.albumTitle, &singer->name, &song.lyrics})
      EXPECT_EQ(text->find('\\'), std::string::npos);
    if (song.lyrics.empty()) ++withoutLyrics;
    if (std::count(song.lyrics.begin(), song.lyrics.end(), '\n') >= 3) ++multiLineLyrics;
    quote |= song.title.find('"') != std::string::npos;
    ampersand |= song.title.find('&') != std::string::npos;
    longTitle |= song.title.size() > 60;
    chineseTitle |= isChinese(song.title);
    latinTitle |= isLatin(song.title);
    chineseSinger |= isChinese(singer->name);
    latinSinger |= isLatin(singer->name);
    coverFormats.insert(song.coverFormat);
    singerFormats.insert(singer->avatarFormat);
  }
  EXPECT_EQ(sids.size(), songs.size());
  EXPECT_GE(titles.size(), 12u);
  EXPECT_GE(withoutLyrics, 1);
  EXPECT_GT(multiLineLyrics, static_cast<int>(songs.size()) / 2);
  EXPECT_TRUE(quote && ampersand && longTitle && chineseTitle && latinTitle && chineseSinger && latinSinger);
  EXPECT_EQ(coverFormats.size(), 3u);
  EXPECT_EQ(singerFormats.size(), 3u);
}

TEST(Answers, PlaylistHoldsTheMembersTheProgramReads) {
  const Catalogue catalogue;
  const Song& song = *catalogue.findSong("1003");  // the title with double quotes
  for (int singers : {0, 1, 2}) {
    SCOPED_TRACE(singers);
    const std::string text = playlistAnswer(catalogue, {&song}, "http://127.0.0.1:9", {singers, false});
    const QJsonObject answer = parseObject(text);
    EXPECT_EQ(answer.value("r").toInt(-1), 0);
    const QJsonArray list = answer.value("song").toArray();
    ASSERT_EQ(list.size(), 1);
    const QJsonObject object = list.at(0).toObject();
    for (const char* key : {"albumtitle", "url", "album", "file_ext", "title", "picture", "update_time",
                            "public_time", "length", "sid", "ssid", "singers"})
      EXPECT_TRUE(object.contains(key)) << key;
    EXPECT_EQ(object.value("title").toString(), QString::fromUtf8("Say \"Hello\" Again"));
    EXPECT_TRUE(object.value("length").isDouble());
    EXPECT_EQ(object.value("length").toInt(), song.lengthSeconds);
    EXPECT_EQ(object.value("url").toString(), "http://127.0.0.1:9/audio/1003.mp3");
    EXPECT_EQ(object.value("picture").toString(), "http://127.0.0.1:9/img/covers/1003.gif");
    const QJsonArray singerList = object.value("singers").toArray();
    ASSERT_EQ(singerList.size(), singers);
    if (singers >= 1) {
      EXPECT_EQ(singerList.at(0).toObject().value("name").toString(), "The Low Tides");
      EXPECT_EQ(singerList.at(0).toObject().value("avatar").toString(), "http://127.0.0.1:9/img/singers/203.gif");
    }
    if (singers == 2) { EXPECT_NE(singerList.at(1).toObject().value("name"), singerList.at(0).toObject().value("name")); }
    // Addresses are written with escaped slashes, as the real service writes them.
    EXPECT_NE(text.find(R"("url":"http:\/\/127.0.0.1:9\/audio\/1003.mp3")"), std::string::npos);
    EXPECT_EQ(text.find("//"), std::string::npos);
  }
}

TEST(Answers, LyricsAnswerHasALyricMemberOnlyForSongsWithLyrics) {
  const Catalogue catalogue;
  for (const Song& song : catalogue.songs()) {
    SCOPED_TRACE(song.sid);
    const QJsonObject answer = parseObject(lyricAnswer(song, false));
    EXPECT_EQ(answer.value("sid").toString().toStdString(), song.sid);
    EXPECT_EQ(answer.value("name").toString().toStdString(), song.title);
    EXPECT_EQ(answer.contains("lyric"), !song.lyrics.empty());
    if (!song.lyrics.empty()) { EXPECT_EQ(answer.value("lyric").toString().toStdString(), song.lyrics); }
  }
  EXPECT_FALSE(parseObject(unknownSongAnswer()).contains("lyric"));
  // Escaped non-ASCII text reads back the same.
  const Song& chinese = *catalogue.findSong("1001");
  const std::string escaped = lyricAnswer(chinese, true);
  EXPECT_TRUE(std::all_of(escaped.begin(), escaped.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
  EXPECT_EQ(parseObject(escaped).value("lyric").toString().toStdString(), chinese.lyrics);
}

TEST(Answers, MalformedAnswerIsNotJson) {
  const Catalogue catalogue;
  const std::string good = playlistAnswer(catalogue, {&catalogue.songs()[0]}, "http://h:1", {});
  EXPECT_FALSE(QJsonDocument::fromJson(QByteArray::fromStdString(malformedAnswer(good))).isObject());
}

uint32_t little32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
  return value;
}

TEST(Audio, EachSongIsAPlayableWavOfItsOwnLength) {
  const Catalogue catalogue;
  std::set<std::string> distinct;
  for (const char* sid : {"1001", "1008", "1012"}) {
    SCOPED_TRACE(sid);
    const Song& song = *catalogue.findSong(sid);
    const std::string wav = synthesizeSong(song);
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(little32(wav, 4), wav.size() - 8);
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(little32(wav, 24), static_cast<uint32_t>(kSampleRate));
    EXPECT_EQ(wav.substr(36, 4), "data");
    const uint32_t dataBytes = little32(wav, 40);
    EXPECT_EQ(dataBytes, wav.size() - 44);
    EXPECT_EQ(dataBytes, static_cast<uint32_t>(song.lengthSeconds * kSampleRate * 2));
    // Not silence: the loudest sample in the middle second is well above zero.
    int peak = 0;
    const size_t middle = 44 + (dataBytes / 2 & ~size_t{1});
    for (size_t at = middle; at < middle + kSampleRate * 2; at += 2) {
      int16_t sample;
      std::memcpy(&sample, wav.data() + at, 2);
      peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    EXPECT_GT(peak, 3000);
    distinct.insert(wav.substr(44, 200000));
  }
  EXPECT_EQ(distinct.size(), 3u);
}

TEST(Audio, StoreFindsSongsByPathAndKeepsOneCopy) {
  const Catalogue catalogue;
  AudioStore store(catalogue);
  const AudioFile first = store.find("/audio/1002.wav");
  ASSERT_NE(first.bytes, nullptr);
  EXPECT_STREQ(first.mediaType, "audio/wav");
  EXPECT_EQ(store.find("/audio/1002.wav").bytes.get(), first.bytes.get());
  const AudioFile mp3 = store.find("/audio/1002.mp3");
  ASSERT_NE(mp3.bytes, nullptr);
  EXPECT_STREQ(mp3.mediaType, "audio/mpeg");
  EXPECT_EQ(store.find("/audio/1002.mp3").bytes.get(), mp3.bytes.get());
  for (const char* missing : {"/audio/9999.wav", "/audio/9999.mp3", "/audio/1002.ogg"})
    EXPECT_EQ(store.find(missing).bytes, nullptr) << missing;
}

// The MP3 starts with a frame header of MPEG-1 layer III at 128 kbit/s and 44.1 kHz (no tag in
// front), and at that constant rate lasts as long as the song.
TEST(Audio, Mp3IsConstantBitRateAndAsLongAsTheSong) {
  const Catalogue catalogue;
  const Song& song = catalogue.songs().front();
  const std::string mp3 = encodeMp3(synthesizeSong(song));
  ASSERT_GT(mp3.size(), 4u);
  EXPECT_EQ(static_cast<unsigned char>(mp3[0]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(mp3[1]) & 0xFE, 0xFA);  // sync, MPEG-1, layer III
  EXPECT_EQ(static_cast<unsigned char>(mp3[2]) >> 4, 9);       // 128 kbit/s
  EXPECT_EQ((static_cast<unsigned char>(mp3[2]) >> 2) & 3, 0);  // 44.1 kHz
  const double seconds = mp3.size() / (kMp3KilobitsPerSecond * 1000.0 / 8);
  EXPECT_NEAR(seconds, song.lengthSeconds, 0.5);
}

TEST(ByteRanges, ResolveAgainstTheFileSize) {
  struct Case {
    const char* name;
    httplib::Ranges ranges;
    ByteRange expected;
  };
  const Case cases[] = {
      {"no range: the whole file", {}, {0, 1000, false, false}},
      {"a closed range", {{100, 199}}, {100, 100, true, false}},
      {"an open range", {{990, -1}}, {990, 10, true, false}},
      {"a range past the end is cut", {{998, 5000}}, {998, 2, true, false}},
      {"a suffix", {{-1, 10}}, {990, 10, true, false}},
      {"a suffix longer than the file", {{-1, 5000}}, {0, 1000, true, false}},
      {"a start at the end", {{1000, -1}}, {0, 0, false, true}},
      {"a start far past the end", {{99999999, -1}}, {0, 0, false, true}},
      {"an empty suffix", {{-1, 0}}, {0, 0, false, true}},
      {"several ranges: the whole file", {{0, 1}, {5, 6}}, {0, 1000, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ByteRange range = resolveRange(c.ranges, 1000);
    EXPECT_EQ(range.first, c.expected.first);
    EXPECT_EQ(range.length, c.expected.length);
    EXPECT_EQ(range.partial, c.expected.partial);
    EXPECT_EQ(range.unsatisfiable, c.expected.unsatisfiable);
  }
}

TEST(Faults, ParseAcceptsWhatEachTargetSupports) {
  struct Case {
    const char* json;
    FaultTarget target;
    FaultKind kind;
    int status, delayMs, count;
    const char* match;
  };
  const Case cases[] = {
      {R"({"target":"playlist","kind":"status"})", FaultTarget::Playlist, FaultKind::Status, 500, 1000, 1, ""},
      {R"({"target":"picture","kind":"status"})", FaultTarget::Picture, FaultKind::Status, 404, 1000, 1, ""},
      {R"({"target":"audio","kind":"status","status":403,"count":3})", FaultTarget::Audio, FaultKind::Status, 403, 1000, 3, ""},
      {R"({"target":"playlist","kind":"delay","delay_ms":250})", FaultTarget::Playlist, FaultKind::Delay, 500, 250, 1, ""},
      {R"({"target":"playlist","kind":"two_singers"})", FaultTarget::Playlist, FaultKind::TwoSingers, 500, 1000, 1, ""},
      {R"({"target":"lyric","kind":"malformed"})", FaultTarget::Lyric, FaultKind::Malformed, 500, 1000, 1, ""},
      {R"({"target":"picture","kind":"one_byte","match":"/covers/"})", FaultTarget::Picture, FaultKind::OneByte, 404, 1000, 1, "/covers/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    const Fault fault = parseFault(c.json);
    EXPECT_EQ(fault.target, c.target);
    EXPECT_EQ(fault.kind, c.kind);
    EXPECT_EQ(fault.status, c.status);
    EXPECT_EQ(fault.delayMs, c.delayMs);
    EXPECT_EQ(fault.count, c.count);
    EXPECT_EQ(fault.match, c.match);
    // Its description reads back as the same fault.
    const Fault again = parseFault(describeFault(fault));
    EXPECT_EQ(again.kind, fault.kind);
    EXPECT_EQ(again.count, fault.count);
    EXPECT_EQ(again.match, fault.match);
  }
}

TEST(Faults, ParseRefusesWhatItCannotApply) {
  for (const char* json : {
           "", "[]", "not json", R"({"kind":"status"})", R"({"target":"radio","kind":"status"})",
           R"({"target":"playlist","kind":"explode"})", R"({"target":"audio","kind":"one_byte"})",
           R"({"target":"picture","kind":"two_singers"})", R"({"target":"lyric","kind":"empty"})",
           R"({"target":"playlist","kind":"status","status":99})", R"({"target":"playlist","kind":"status","status":"500"})",
           R"({"target":"playlist","kind":"status","count":0})", R"({"target":"playlist","kind":"status","count":1.5})",
           R"({"target":"playlist","kind":"delay","delay_ms":-1})", R"({"target":"picture","kind":"empty","match":7})",
           R"({"target":"playlist","kind":"status","cuont":2})"}) {
    SCOPED_TRACE(json);
    EXPECT_THROW(parseFault(json), Error);
  }
}

TEST(Faults, BoardAppliesEachFaultToTheRequestsItNamesThenClears) {
  FaultBoard board;
  board.add(parseFault(R"({"target":"picture","kind":"empty","count":2,"match":"/singers/"})"));
  board.add(parseFault(R"({"target":"picture","kind":"garbage"})"));
  board.add(parseFault(R"({"target":"playlist","kind":"no_songs"})"));

  // A cover skips the singers-only fault and takes the next picture fault.
  auto fault = board.take(FaultTarget::Picture, "/img/covers/1001.png");
  ASSERT_TRUE(fault);
  EXPECT_EQ(fault->kind, FaultKind::Garbage);
  EXPECT_FALSE(board.take(FaultTarget::Picture, "/img/covers/1001.png"));
  for (int i = 0; i < 2; ++i) {
    fault = board.take(FaultTarget::Picture, "/img/singers/201.png");
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->kind, FaultKind::Empty);
  }
  EXPECT_FALSE(board.take(FaultTarget::Picture, "/img/singers/201.png"));
  EXPECT_FALSE(board.take(FaultTarget::Audio, "/audio/1001.wav"));
  EXPECT_EQ(board.describe(), R"({"faults":[{"target":"playlist","kind":"no_songs","count":1}]})");
  board.clear();
  EXPECT_FALSE(board.take(FaultTarget::Playlist, "/j/v2/playlist?channel=1"));
}

TEST(Pictures, EachFormatDecodesAndPngAndGifKeepTransparency) {
  const Catalogue catalogue;
  const PictureStore store(catalogue);
  EXPECT_EQ(store.size(), catalogue.songs().size() + catalogue.singers().size());
  struct Case {
    const char* path;
    const char* mediaType;
    int size;
    bool transparentCorner;
  };
  const Case cases[] = {
      {"/img/covers/1001.png", "image/png", 300, true},
      {"/img/covers/1002.jpg", "image/jpeg", 300, false},
      {"/img/covers/1003.gif", "image/gif", 300, false},
      {"/img/singers/201.png", "image/png", 160, true},
      {"/img/singers/202.jpg", "image/jpeg", 160, false},
      {"/img/singers/203.gif", "image/gif", 160, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const EncodedPicture* picture = store.find(c.path);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->mediaType, c.mediaType);
    const QImage image = QImage::fromData(QByteArray::fromStdString(picture->bytes));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), c.size);
    EXPECT_EQ(image.height(), c.size);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)) == 0, c.transparentCorner);
    EXPECT_EQ(qAlpha(image.pixel(c.size / 2, c.size / 2)), 255);
  }
  EXPECT_EQ(store.find("/img/covers/1001.jpg"), nullptr);
  // Different songs look different.
  const QImage one = QImage::fromData(QByteArray::fromStdString(store.find("/img/covers/1002.jpg")->bytes));
  const QImage other = QImage::fromData(QByteArray::fromStdString(store.find("/img/covers/1005.jpg")->bytes));
  EXPECT_NE(one, other);
}

}  // namespace
}  // namespace orvelle::demo
