// The GStreamer player playing the demo service's songs over HTTP and HTTPS on the silent, clocked
// output: what it plays, what it reports when a song cannot be played, and how it rides out a
// broken stream.
#include "playback/gst_media_player.h"
#include "service/error.h"

#include "../support/demo_service_process.h"
#include "../support/log_capture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>
#include <httplib.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace orvelle {
namespace {

// How long a song may take to open and start over loopback before the test gives up.
constexpr int kStartDeadlineMs = 15000;
// How long a held song is watched to see that it does not move.
constexpr int kHoldMs = 600;
// Positions read within this many seconds of each other count as the same.
constexpr double kSamePosition = 0.05;
// The demo service's songs are MP3 at 128 kbit/s: 16000 bytes a second.
constexpr int kBytesPerSecond = 16000;

class GstPlayer : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    service_ = new test::ServiceProcess({"--port", "0", "--https-port", "0"});
    base_ = new QString(QString::fromStdString(service_->readLine()));
    secure_base_ = new QString(QString::fromStdString(service_->readLine()));
    ca_file_ = new std::string(service_->readLine());
  }
  static void TearDownTestSuite() {
    delete service_;
    delete base_;
    delete secure_base_;
    delete ca_file_;
  }

  void SetUp() override {
    ASSERT_TRUE(base_->startsWith("http://127.0.0.1:")) << base_->toStdString();
    ASSERT_TRUE(secure_base_->startsWith("https://")) << secure_base_->toStdString();
    setenv("SSL_CERT_FILE", ca_file_->c_str(), 1);
    Service().Delete("/_demo/faults");
    Service().Delete("/_demo/requests");
  }
  void TearDown() override { unsetenv("SSL_CERT_FILE"); }

  static httplib::Client& Service() {
    static httplib::Client client(base_->toStdString());
    return client;
  }
  static void AddFault(const std::string& json) {
    const auto answer = Service().Post("/_demo/faults", json, "application/json");
    ASSERT_TRUE(answer && answer->status == 200) << json;
  }
  // The Range headers of the audio requests the service received, in order ("" for none).
  static std::vector<std::string> AudioRanges() {
    std::vector<std::string> ranges;
    const auto answer = Service().Get("/_demo/requests");
    if (!answer) return ranges;
    const QJsonArray requests = QJsonDocument::fromJson(QByteArray::fromStdString(answer->body))["requests"].toArray();
    for (const QJsonValue& request : requests) {
      if (!request["target"].toString().startsWith("/audio/")) continue;
      std::string range;
      for (const QJsonValue& header : request["headers"].toArray())
        if (header[0].toString().compare("Range", Qt::CaseInsensitive) == 0) range = header[1].toString().toStdString();
      ranges.push_back(range);
    }
    return ranges;
  }

  static QString Song(const QString& base, int sid) { return QStringLiteral("%1/audio/%2.mp3").arg(base).arg(sid); }

  // Waits, running the event loop (which carries the player's messages), until the position passes `seconds`.
  static bool PlaysPast(const GstMediaPlayer& player, double seconds, int deadlineMs = kStartDeadlineMs) {
    return QTest::qWaitFor([&] { return player.PositionSeconds() > seconds; }, deadlineMs);
  }
  // Runs the event loop for a while and tells whether the position stayed where it was.
  static bool Holds(const GstMediaPlayer& player) {
    const double before = player.PositionSeconds();
    QTest::qWait(kHoldMs);
    return std::abs(player.PositionSeconds() - before) < kSamePosition;
  }

  static test::ServiceProcess* service_;
  static QString* base_;
  static QString* secure_base_;
  static std::string* ca_file_;
};

test::ServiceProcess* GstPlayer::service_ = nullptr;
QString* GstPlayer::base_ = nullptr;
QString* GstPlayer::secure_base_ = nullptr;
std::string* GstPlayer::ca_file_ = nullptr;

// The failures a player reports, in order.
struct Reports {
  explicit Reports(GstMediaPlayer& player) {
    player.SetFailureHandler([this](const PlaybackFailure& failure) { list.push_back(failure); });
  }
  std::vector<PlaybackFailure> list;
};

TEST_F(GstPlayer, PlaysPausesResumesAndStopsOverHttpAndHttps) {
  for (const QString* base : {base_, secure_base_}) {
    SCOPED_TRACE(base->toStdString());
    GstMediaPlayer player;
    Reports reports(player);

    // An opened address waits for Play.
    player.SetURL(Song(*base, 1001));
    EXPECT_TRUE(player.Paused());
    EXPECT_TRUE(Holds(player));
    EXPECT_LT(player.PositionSeconds(), kSamePosition);

    player.Play();
    ASSERT_TRUE(PlaysPast(player, 0.5)) << "position " << player.PositionSeconds();

    player.Pause();
    EXPECT_TRUE(player.Paused());
    EXPECT_TRUE(Holds(player));
    const double held = player.PositionSeconds();
    EXPECT_GT(held, 0.5);

    // Resuming goes on from the held position, not from the start.
    player.Play();
    EXPECT_FALSE(player.Paused());
    ASSERT_TRUE(PlaysPast(player, held + 0.3));
    EXPECT_LT(player.PositionSeconds(), held + 3);

    // A new address replaces the playing one and is held until Play, which starts it at once.
    player.SetURL(Song(*base, 1002));
    EXPECT_TRUE(player.Paused());
    QTest::qWait(kHoldMs);
    EXPECT_LT(player.PositionSeconds(), held);
    player.Play();
    ASSERT_TRUE(PlaysPast(player, 0.5));

    // Stop ends playback; Play afterwards plays the address again from its start.
    player.Stop();
    EXPECT_EQ(player.PositionMicroseconds(), 0);
    EXPECT_TRUE(Holds(player));
    player.Play();
    ASSERT_TRUE(PlaysPast(player, 0.3));
    EXPECT_TRUE(reports.list.empty()) << reports.list.front().reason.toStdString();
  }
}

TEST_F(GstPlayer, VolumeAboveOneHundredAmplifiesUpToTwoHundred) {
  GstMediaPlayer player;
  EXPECT_EQ(player.Volume(), 100);
  // A volume set before the first address is the one the player starts with.
  player.SetVolume(150);
  player.SetURL(Song(*base_, 1001));
  player.Play();
  EXPECT_EQ(player.Volume(), 150);
  for (int volume : {200, 0, 37}) {
    player.SetVolume(volume);
    EXPECT_EQ(player.Volume(), volume);
  }
  // Beyond the range the player plays at its nearest end.
  player.SetVolume(1000);
  EXPECT_EQ(player.Volume(), 200);
  player.SetVolume(-5);
  EXPECT_EQ(player.Volume(), 0);
  // Silence still plays on.
  EXPECT_TRUE(PlaysPast(player, 0.3));
}

// The audio address comes from the service's answer. Only HTTP and HTTPS addresses are played:
// a local file or one of GStreamer's other sources named in an answer is refused before anything
// is opened, and the song that plays goes on.
TEST_F(GstPlayer, AnAddressThatIsNotHttpOrHttpsIsRefusedAndThePlayingSongGoesOn) {
  GstMediaPlayer player;
  Reports reports(player);
  QString upper = Song(*base_, 1001);
  upper.replace(0, 4, QStringLiteral("HTTP"));  // the scheme's case does not matter
  player.SetURL(upper);
  player.Play();
  ASSERT_TRUE(PlaysPast(player, 0.3));
  for (const QString& address : {QStringLiteral("/etc/passwd"), QStringLiteral("file:///etc/passwd"),
                                 QStringLiteral("appsrc://"), QStringLiteral("fd://0"),
                                 QStringLiteral("data:audio/mpeg;base64,AAAA")}) {
    SCOPED_TRACE(address.toStdString());
    const double before = player.PositionSeconds();
    EXPECT_THROW(player.SetURL(address), Error);
    EXPECT_TRUE(PlaysPast(player, before + 0.2));
  }
  EXPECT_TRUE(reports.list.empty());
}

// Each address that cannot be played is reported once, with its kind and reason, and logged.
TEST_F(GstPlayer, AnAddressThatCannotBePlayedIsReportedOnceAndLogged) {
  struct Case {
    const char* name;
    QString address;
    bool trusted;
    PlaybackFailure::Kind kind;
    const char* reason;
  };
  test::ServiceProcess other({"--port", "0", "--https-port", "0"});
  other.readLine();
  const std::vector<Case> cases = {
      {"404", *base_ + "/audio/9999.mp3", true, PlaybackFailure::Kind::HttpError, "Not Found"},
      {"nothing listens", QStringLiteral("http://127.0.0.1:1/audio/1001.mp3"), true, PlaybackFailure::Kind::CannotOpen,
       "connect"},
      // A service of its own: GLib keeps TLS sessions of the process, and one resumed from an
      // earlier trusted connection to the same port is not checked again.
      {"untrusted certificate", Song(QString::fromStdString(other.readLine()), 1001), false,
       PlaybackFailure::Kind::CannotOpen, ""},
      {"not audio", *base_ + "/j/v2/lyric?sid=1001&ssid=5a1c", true, PlaybackFailure::Kind::NotDecodable, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.trusted) unsetenv("SSL_CERT_FILE");  // only the system's store, which does not know the service's authority
    test::LogCapture log;
    GstMediaPlayer player;
    Reports reports(player);
    player.SetURL(c.address);
    player.Play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.list.empty(); }, kStartDeadlineMs));
    QTest::qWait(kHoldMs);  // no second report follows
    ASSERT_EQ(reports.list.size(), 1u);
    EXPECT_EQ(reports.list[0].kind, c.kind) << reports.list[0].reason.toStdString();
    EXPECT_TRUE(reports.list[0].reason.contains(QLatin1String(c.reason), Qt::CaseInsensitive))
        << reports.list[0].reason.toStdString();
    EXPECT_EQ(player.PositionSeconds(), 0.0);
    EXPECT_EQ(log.Matching(QStringLiteral("orvelle.player warning"), QStringLiteral("song could not be played"),
                           c.address.left(30))
                  .size(),
              1)
        << log.Lines().join('\n').toStdString();
    setenv("SSL_CERT_FILE", ca_file_->c_str(), 1);
  }
}

// An address whose server takes the request but sends nothing is reported stalled once no data
// has come for 10 s and a re-opening brought none either.
TEST_F(GstPlayer, AnAddressThatSendsNothingIsReportedStalled) {
  AddFault(R"({"target":"audio","kind":"delay","delay_ms":30000,"count":10})");
  test::LogCapture log;
  GstMediaPlayer player;
  Reports reports(player);
  QElapsedTimer waiting;
  waiting.start();
  player.SetURL(Song(*base_, 1003));
  player.Play();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.list.empty(); }, 30000));
  EXPECT_GE(waiting.elapsed(), SongDownload::kStallSeconds * 1000);
  EXPECT_EQ(reports.list[0].kind, PlaybackFailure::Kind::Stalled) << reports.list[0].reason.toStdString();
  EXPECT_GE(log.Matching(QStringLiteral("downloading"), QStringLiteral("from byte 0")).size(), 2)
      << "re-opened before giving up";
  QTest::qWait(kHoldMs);
  EXPECT_EQ(reports.list.size(), 1u);
  EXPECT_EQ(player.PositionSeconds(), 0.0);
}

// A stream that breaks off mid-song (the connection falls silent, then closes, and the service
// answers nothing meanwhile) is re-opened at the byte reached. What arrived before the break
// plays on; when the outage outlasts it, playback waits where it was and goes on from there. Not
// a failure.
TEST_F(GstPlayer, AnOutageMidSongIsBridgedFromTheBytesReached) {
  struct Case {
    const char* name;
    int secondsBeforeBreak;
    int outageMs;
    bool heard;  // whether playback runs out of data during the outage
  };
  const std::vector<Case> cases = {
      {"outage of 6 s after 3 s of the song", 3, 6000, true},
      {"outage of 2 s after 8 s of the song: the held file covers it", 8, 2000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Service().Delete("/_demo/requests");
    const int cut = c.secondsBeforeBreak * kBytesPerSecond;
    AddFault(R"({"target":"audio","kind":"outage","after_bytes":)" + std::to_string(cut) +
             R"(,"delay_ms":)" + std::to_string(c.outageMs) + "}");
    test::LogCapture log;
    GstMediaPlayer player;
    Reports reports(player);
    player.SetURL(Song(*base_, 1004));
    player.Play();
    ASSERT_TRUE(PlaysPast(player, 0.2));

    bool waited = false;
    double waitedAt = 0;
    const double beyond = c.secondsBeforeBreak + 1.5;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          if (player.WaitingForData() && !waited) {
            waited = true;
            waitedAt = player.PositionSeconds();
          }
          return player.PositionSeconds() > beyond;
        },
        c.outageMs + 20000))
        << "stuck at " << player.PositionSeconds();
    EXPECT_EQ(waited, c.heard);
    if (c.heard) {
      // It waited when what had come was all but played, and went on from there, not from the
      // start.
      EXPECT_LE(waitedAt, c.secondsBeforeBreak + kSamePosition);
      EXPECT_GE(waitedAt, c.secondsBeforeBreak - 0.5);
    }
    EXPECT_TRUE(reports.list.empty()) << reports.list.front().reason.toStdString();
    // Re-opened exactly at the byte reached.
    const std::vector<std::string> ranges = AudioRanges();
    ASSERT_GE(ranges.size(), 2u);
    EXPECT_EQ(ranges.front(), "");
    EXPECT_EQ(ranges.back(), "bytes=" + std::to_string(cut) + "-");
    EXPECT_TRUE(log.Matching(QStringLiteral("song could not be played")).isEmpty());
  }
}

}  // namespace
}  // namespace orvelle
