// The desktop pieces that need no session bus: how the play state reads as MPRIS properties, the
// cover's file, the gate that holds remote commands like clicks, and the command line.

#include "desktop/command_line.h"
#include "desktop/cover_art_file.h"
#include "desktop/mpris_properties.h"
#include "desktop/remote_command_gate.h"
#include "log_capture.h"
#include "qstring_printer.h"
#include "modal_watcher.h"
#include "service/error.h"
#include "toolkit/message_box.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <pwd.h>
#include <unistd.h>

namespace orvelle::test {
namespace {

// How long a test waits for something that happens through the event loop.
constexpr int kWaitMs = 5000;

PlayState SongState(const QString& sid, const QString& length, qint32 remaining, int playing) {
  PlayState state;
  state.CurrentSong.sid = sid;
  state.CurrentSong.url = QStringLiteral("http://127.0.0.1/a.mp3");
  state.CurrentSong.title = QStringLiteral("Blue Line");
  state.CurrentSong.singer_name = QStringLiteral("Ana Mar");
  state.CurrentSong.albumtitle = QStringLiteral("Harbour");
  state.CurrentSong.album = QStringLiteral("/subject/77/");
  state.CurrentSong.length = length;
  state.RemainingSeconds = remaining;
  state.IsPlaying = playing;
  return state;
}

TEST(MprisProperties, PlaybackStatusIsStoppedOnlyBeforeTheFirstSong) {
  EXPECT_EQ(mpris::PlaybackStatus(PlayState{}), "Stopped");
  EXPECT_EQ(mpris::PlaybackStatus(SongState("1", "200", 100, 1)), "Playing");
  EXPECT_EQ(mpris::PlaybackStatus(SongState("1", "200", 100, 0)), "Paused");
}

TEST(MprisProperties, TrackIdsAreValidDistinctPathsForAnySid) {
  const struct {
    QString sid;
    QString path;
  } cases[] = {
      {"1001", "/org/orvelle/track/1001"},
      {"aB9", "/org/orvelle/track/aB9"},
      {"12-3", "/org/orvelle/track/12_2d3"},
      {"12/3", "/org/orvelle/track/12_2f3"},
      {"12_2d3", "/org/orvelle/track/12_5f2d3"},  // the escape character is escaped too: no clash with "12-3"
      {"歌", "/org/orvelle/track/_e6_ad_8c"},
      {"", "/org/mpris/MediaPlayer2/TrackList/NoTrack"},
  };
  for (const auto& c : cases) {
    const QDBusObjectPath path = mpris::TrackId(c.sid);
    EXPECT_EQ(path.path(), c.path) << c.sid.toStdString();
    EXPECT_FALSE(path.path().isEmpty()) << "invalid object path for " << c.sid.toStdString();
  }
}

TEST(MprisProperties, MetadataOfTheCurrentSong) {
  const QVariantMap metadata = mpris::Metadata(SongState("1001", "244", 100, 1), "file:///run/cover.png");
  EXPECT_EQ(metadata.value("mpris:trackid").value<QDBusObjectPath>().path(), "/org/orvelle/track/1001");
  EXPECT_EQ(metadata.value("xesam:title").toString(), "Blue Line");
  EXPECT_EQ(metadata.value("xesam:artist").toStringList(), QStringList{"Ana Mar"});
  EXPECT_EQ(metadata.value("xesam:album").toString(), "Harbour");
  EXPECT_EQ(metadata.value("mpris:length").toLongLong(), 244'000'000);
  EXPECT_EQ(metadata.value("mpris:artUrl").toString(), "file:///run/cover.png");

  EXPECT_TRUE(mpris::Metadata(PlayState{}, "file:///run/cover.png").isEmpty()) << "no song yet";
  const QVariantMap odd = mpris::Metadata(SongState("1001", "4:04", 100, 1), "");
  EXPECT_FALSE(odd.contains("mpris:length")) << "a length that is no number of seconds is left out";
  EXPECT_FALSE(odd.contains("mpris:artUrl")) << "no cover, no address";
}

TEST(MprisProperties, PositionFollowsTheCountdownWithinTheSong) {
  const struct {
    QString length;
    qint32 remaining;
    qint64 position;
  } cases[] = {
      {"244", 243, 1'000'000},    // right after the load's first step
      {"244", 0, 244'000'000},    // run out
      {"244", -1, 244'000'000},   // counted past the end: never beyond the length
      {"0", -1, 0},               // a song of length 0
      {"244", 300, 0},            // never before the start
      {"x", 10, 0},               // no length known
  };
  for (const auto& c : cases) {
    EXPECT_EQ(mpris::PositionMicroseconds(SongState("1", c.length, c.remaining, 1)), c.position)
        << c.length.toStdString() << " " << c.remaining;
  }
}

TEST(MprisProperties, VolumeMapsToTheSliderWithOneHundredAsOne) {
  const struct {
    double volume;
    int slider;
  } cases[] = {
      {1.0, 100}, {0.5, 50}, {0.0, 0}, {1.5, 150}, {0.004, 0}, {0.006, 1},
      {-0.3, 0},  // negative is silence
      {std::nan(""), 0},
      {1e300, std::numeric_limits<int>::max()},
  };
  for (const auto& c : cases) EXPECT_EQ(mpris::SliderValueFromVolume(c.volume), c.slider) << c.volume;
  EXPECT_DOUBLE_EQ(mpris::VolumeFromSliderValue(50), 0.5);
  EXPECT_DOUBLE_EQ(mpris::VolumeFromSliderValue(200), 2.0);
}

TEST(CoverArtFile, SavesEachCoverOnceUnderANewNameAndRemovesItsFiles) {
  QTemporaryDir runtime;
  const QString folder = runtime.filePath("orvelle");
  QString first_path;
  int paints = 0;
  const auto red = [&] {
    ++paints;
    QImage image(30, 20, QImage::Format_ARGB32);
    image.fill(Qt::red);
    return image;
  };
  {
    CoverArtFile file(folder);
    const QString url = file.Update("1001/a", red);
    first_path = QUrl(url).toLocalFile();
    ASSERT_TRUE(QUrl(url).isLocalFile()) << url.toStdString();
    const QImage saved(first_path);
    ASSERT_EQ(saved.size(), QSize(30, 20));
    EXPECT_EQ(saved.pixelColor(3, 3), QColor(Qt::red));

    EXPECT_EQ(file.Update("1001/a", red), url);
    EXPECT_EQ(paints, 1) << "the same cover is not saved again";

    const QString second = QUrl(file.Update("1002/b", red)).toLocalFile();
    EXPECT_NE(second, first_path) << "a new cover gets a new address";
    EXPECT_FALSE(QFileInfo::exists(first_path)) << "the old file goes";
    EXPECT_TRUE(QFileInfo::exists(second));

    EXPECT_TRUE(file.Update("1003/none", [] { return QImage(); }).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(second)) << "no cover, no file";
    file.Update("1004/c", red);
  }
  EXPECT_TRUE(QDir(folder).isEmpty()) << "the last file goes at exit";
}

TEST(CoverArtFile, AFolderThatCannotBeMadeGivesNoAddressAndALogLine) {
  QTemporaryDir runtime;
  QFile blocker(runtime.filePath("orvelle"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder should be
  blocker.close();
  LogCapture log;
  CoverArtFile file(runtime.filePath("orvelle"));
  EXPECT_TRUE(file.Update("1", [] {
                    QImage image(4, 4, QImage::Format_ARGB32);
                    image.fill(Qt::blue);
                    return image;
                  }).isEmpty());
  EXPECT_EQ(log.Matching("orvelle.desktop warning", "Cannot save the cover").size(), 1) << log.Lines().join('\n').toStdString();
}

// Points an environment variable elsewhere for as long as it lives.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const QByteArray& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    qputenv(name, value);
  }
  ~ScopedEnvironment() {
    if (had_) {
      qputenv(name_, old_);
    } else {
      qunsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

// Without a usable runtime folder (XDG_RUNTIME_DIR unsuitable and no private folder under the
// temporary folder either) there is no cover file: nothing is written into the folder the
// program was started from.
TEST(CoverArtFile, WithoutARuntimeFolderThereIsNoFileAndOneLogLine) {
  QTemporaryDir work;
  QFile(work.filePath("not-a-folder")).open(QIODevice::WriteOnly);
  ASSERT_TRUE(QDir(work.path()).mkdir("tmp"));
  const passwd* user = ::getpwuid(::geteuid());
  ASSERT_NE(user, nullptr);
  // A file where Qt's fallback, runtime-USER in the temporary folder, would go.
  QFile(work.filePath("tmp/runtime-" + QString::fromLocal8Bit(user->pw_name))).open(QIODevice::WriteOnly);
  ScopedEnvironment runtime("XDG_RUNTIME_DIR", work.filePath("not-a-folder").toLocal8Bit());
  ScopedEnvironment temporary("TMPDIR", work.filePath("tmp").toLocal8Bit());
  const QString started_in = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(work.path()));
  LogCapture log;
  {
    CoverArtFile file;
    EXPECT_TRUE(file.Update("1", [] {
                      QImage image(4, 4, QImage::Format_ARGB32);
                      image.fill(Qt::blue);
                      return image;
                    }).isEmpty());
    file.Update("2", [] { return QImage(4, 4, QImage::Format_ARGB32); });
  }
  QDir::setCurrent(started_in);
  EXPECT_FALSE(QFileInfo::exists(work.filePath("orvelle"))) << "the cover went to the working folder";
  EXPECT_EQ(log.Matching("orvelle.desktop warning", "runtime folder").size(), 1) << log.Lines().join('\n').toStdString();
}

// Commands run from the event loop, in order, one per pass; nothing holds them, not even an open
// box; a command that fails shows the default error box instead of leaving through Qt.
TEST(RemoteCommandGate, CommandsRunFromTheEventLoopInOrderEvenWhileABoxIsOpen) {
  RemoteCommandGate gate;
  QStringList ran;
  gate.Submit([&] { ran << "play-pause"; });
  gate.Submit([&] { ran << (MessageBoxOpen() ? "next while the box is open" : "next"); });
  EXPECT_TRUE(ran.isEmpty()) << "never inside the call that brought the command";
  EXPECT_EQ(gate.Pending(), 2);
  MessageBox(nullptr, QMessageBox::Information, QString(), "Hi", QMessageBox::Ok);
  EXPECT_TRUE(QTest::qWaitFor([&] { return ran.size() == 2; }, kWaitMs));
  EXPECT_EQ(ran, (QStringList{"play-pause", "next while the box is open"}));
  ModalWatcher watcher;
  ASSERT_TRUE(QTest::qWaitFor([] { return !MessageBoxOpen(); }, kWaitMs));

  gate.Submit([] { throw Error("The player failed"); });
  EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.Seen().size() == 2; }, kWaitMs));
  EXPECT_EQ(watcher.Seen().last().text, "The player failed.");
  EXPECT_EQ(watcher.Seen().last().icon, QMessageBox::Critical);
}

std::pair<std::optional<int>, std::string> RunCommandLine(const QStringList& arguments) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const std::optional<int> code = HandleCommandLine(QStringList{"orvelle"} + arguments);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  return {code, code == 0 ? out : err};
}

TEST(CommandLine, HelpAndVersionPrintAndEndOthersStartOrFail) {
  const struct {
    QStringList arguments;
    std::optional<int> code;
    std::string printed;  // a piece of what is printed
  } cases[] = {
      {{}, std::nullopt, ""},
      {{"--version"}, 0, "Orvelle " ORVELLE_VERSION "\n"},
      {{"-v"}, 0, "Orvelle " ORVELLE_VERSION "\n"},
      {{"--help"}, 0, "--version"},
      {{"-h"}, 0, "Usage: "},
      {{"--help-all"}, 0, "Kestra online radio"},
      {{"-platform", "offscreen"}, std::nullopt, ""},  // Qt's own option, left to Qt
      {{"--style=Fusion"}, std::nullopt, ""},
      {{"--bogus"}, 2, "Unknown option 'bogus'"},
      {{"song.mp3"}, 2, "Orvelle takes no arguments: song.mp3"},
  };
  for (const auto& c : cases) {
    const auto [code, printed] = RunCommandLine(c.arguments);
    EXPECT_EQ(code, c.code) << c.arguments.join(' ').toStdString();
    EXPECT_NE(printed.find(c.printed), std::string::npos) << c.arguments.join(' ').toStdString() << ": " << printed;
  }
  const auto [code, help] = RunCommandLine({"--help"});
  EXPECT_EQ(help.find("platform"), std::string::npos) << "Qt's options stay out of the help";
  EXPECT_EQ(help.find("help-all"), std::string::npos) << "the help promises no list of Qt's options";
}

}  // namespace
}  // namespace orvelle::test
