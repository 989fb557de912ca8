// The libmpv player playing the demo service's songs over HTTP and HTTPS on the silent output.
#include "playback/mpv_media_player.h"
#include "service/error.h"

#include "../support/demo_service_process.h"
#include "../support/log_capture.h"

#include <QDataStream>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

namespace orvelle {
namespace {

// How long a song may take to open and start over loopback before the test gives up.
constexpr int kStartDeadlineMs = 15000;
// How long a held song is watched to see that it does not move.
constexpr int kHoldMs = 600;
// Positions read within this many seconds of each other count as the same.
constexpr double kSamePosition = 0.05;

class MpvPlayer : public testing::Test {
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
  }
  void TearDown() override { unsetenv("SSL_CERT_FILE"); }

  static QString Song(const QString& base, int sid) { return QStringLiteral("%1/audio/%2.wav").arg(base).arg(sid); }

  // Waits, running the event loop (which drains the player's events), until the position passes `seconds`.
  static bool PlaysPast(const MpvMediaPlayer& player, double seconds) {
    return QTest::qWaitFor([&] { return player.PositionSeconds() > seconds; }, kStartDeadlineMs);
  }
  // Runs the event loop for a while and tells whether the position stayed where it was.
  static bool Holds(const MpvMediaPlayer& player) {
    const double before = player.PositionSeconds();
    QTest::qWait(kHoldMs);
    return std::abs(player.PositionSeconds() - before) < kSamePosition;
  }

  static test::ServiceProcess* service_;
  static QString* base_;
  static QString* secure_base_;
  static std::string* ca_file_;
};

test::ServiceProcess* MpvPlayer::service_ = nullptr;
QString* MpvPlayer::base_ = nullptr;
QString* MpvPlayer::secure_base_ = nullptr;
std::string* MpvPlayer::ca_file_ = nullptr;

TEST_F(MpvPlayer, PlaysPausesResumesAndStopsOverHttpAndHttps) {
  for (const QString* base : {base_, secure_base_}) {
    SCOPED_TRACE(base->toStdString());
    MpvMediaPlayer player;

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

    // A new address replaces the playing one and is held until Play, which starts it at once.
    player.SetURL(Song(*base, 1002));
    EXPECT_TRUE(player.Paused());
    QTest::qWait(kHoldMs);
    EXPECT_LT(player.PositionSeconds(), held);
    player.Play();
    ASSERT_TRUE(PlaysPast(player, 0.5));

    // Stop ends playback; Play afterwards plays the address again from its start.
    player.Stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return player.PositionSeconds() == 0.0; }, kStartDeadlineMs));
    EXPECT_TRUE(Holds(player));
    player.Play();
    ASSERT_TRUE(PlaysPast(player, 0.3));
  }
}

TEST_F(MpvPlayer, VolumeAboveOneHundredAmplifiesUpToTwoHundred) {
  MpvMediaPlayer player;
  EXPECT_EQ(player.Volume(), 100);
  // A volume set before the first address is the one the player starts with.
  player.SetVolume(150);
  player.SetURL(Song(*base_, 1001));
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
}

// The handle is made at the first address; when that fails, every use fails with the reason and
// tries again, rather than going on with a half-made handle.
TEST_F(MpvPlayer, AHandleThatCannotBeMadeFailsEveryUseTheSameWay) {
  const QByteArray configured = qgetenv("ORVELLE_AUDIO_OUTPUT");
  setenv("ORVELLE_AUDIO_OUTPUT", "pulse[", 1);  // not a list of outputs: the player refuses the setting
  MpvMediaPlayer player;
  std::string first;
  try {
    player.SetURL(Song(*base_, 1001));
  } catch (const Error& error) {
    first = error.Message().toStdString();
  }
  EXPECT_NE(first.find("pulse["), std::string::npos) << first;
  try {
    player.Play();
    ADD_FAILURE() << "Play went on with a half-made handle";
  } catch (const Error& error) {
    EXPECT_EQ(error.Message().toStdString(), first);
  }
  EXPECT_TRUE(player.Paused());
  setenv("ORVELLE_AUDIO_OUTPUT", configured.isNull() ? "null" : configured.constData(), 1);
}

TEST_F(MpvPlayer, AnUntrustedCertificateDoesNotPlayAndTheFailureIsLogged) {
  unsetenv("SSL_CERT_FILE");  // only the system's trust store, which does not know the service's authority
  test::LogCapture log;
  MpvMediaPlayer player;
  player.SetURL(Song(*secure_base_, 1001));
  player.Play();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !log.Matching(QStringLiteral("song could not be played")).isEmpty(); },
                              kStartDeadlineMs))
      << log.Lines().join('\n').toStdString();
  EXPECT_EQ(player.PositionSeconds(), 0.0);
  const QStringList failures = log.Matching(QStringLiteral("orvelle.player debug"), QStringLiteral("song could not be played"),
                                            Song(*secure_base_, 1001));
  EXPECT_EQ(failures.size(), 1) << log.Lines().join('\n').toStdString();
  // The reason is in the log too, from the player's own messages.
  EXPECT_FALSE(log.Matching(QStringLiteral("orvelle.player debug"), QStringLiteral("certificate")).isEmpty())
      << log.Lines().join('\n').toStdString();
}

// Two seconds of silence as a WAV file: 8 kHz, mono, 16 bits.
void WriteSilentWav(const QString& path) {
  constexpr quint32 kRate = 8000;
  constexpr quint32 kDataBytes = kRate * 2 * 2;
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  QDataStream out(&file);
  out.setByteOrder(QDataStream::LittleEndian);
  out.writeRawData("RIFF", 4);
  out << quint32(36 + kDataBytes);
  out.writeRawData("WAVEfmt ", 8);
  out << quint32(16) << quint16(1) << quint16(1) << kRate << quint32(kRate * 2) << quint16(2) << quint16(16);
  out.writeRawData("data", 4);
  out << kDataBytes;
  out.writeRawData(QByteArray(kDataBytes, '\0').constData(), kDataBytes);
}

// The audio address comes from the service's answer. Only HTTP and HTTPS addresses are played:
// a local file, a file descriptor or one of the player's generating or filtering protocols
// named in an answer is refused before the player opens anything.
TEST_F(MpvPlayer, AnAddressThatIsNotHttpOrHttpsIsRefused) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString local = folder.filePath(QStringLiteral("song.wav"));
  WriteSilentWav(local);
  for (const QString& address : {local, QStringLiteral("file://") + local, QStringLiteral("av://lavfi:sine=d=5"),
                                 QStringLiteral("fd://0"), QStringLiteral("edl://") + local}) {
    SCOPED_TRACE(address.toStdString());
    MpvMediaPlayer player;
    EXPECT_THROW(player.SetURL(address), Error);
    player.Play();
    EXPECT_TRUE(Holds(player));
    EXPECT_EQ(player.PositionSeconds(), 0.0);
  }
  // The scheme's case does not matter.
  MpvMediaPlayer player;
  QString upper = Song(*base_, 1001);
  upper.replace(0, 4, QStringLiteral("HTTP"));
  player.SetURL(upper);
  player.Play();
  EXPECT_TRUE(PlaysPast(player, 0.3));
}

}  // namespace
}  // namespace orvelle
