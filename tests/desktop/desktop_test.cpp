// The desktop pieces that need no session bus: how the play state reads as MPRIS properties, the
// cover's file, the gate that holds remote commands like clicks, the listener's settings file and
// the command line.

#include "desktop/command_line.h"
#include "desktop/cover_art_file.h"
#include "desktop/listener_settings.h"
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
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvelle::test {
namespace {

// How long a test waits for something that happens through the event loop.
constexpr int kWaitMs = 5000;

// A song shown in the given phase; the player plays it while the phase is Playing.
RadioState SongState(const QString& sid, const QString& length, qint32 remaining,
                     PlayPhase phase = PlayPhase::Playing) {
  RadioState state;
  state.song.sid = sid;
  state.song.url = QStringLiteral("http://127.0.0.1/a.mp3");
  state.song.title = QStringLiteral("Blue Line");
  state.song.singer_name = QStringLiteral("Ana Mar");
  state.song.albumtitle = QStringLiteral("Harbour");
  state.song.album = QStringLiteral("/subject/77/");
  state.song.length = length;
  state.song_number = 1;
  state.remaining_seconds = remaining;
  state.phase = phase;
  state.audio_playing = phase == PlayPhase::Playing;
  return state;
}

// "Playing" only while the player plays: never while a song is on its way with nothing playing,
// after the player failed, or after a give-up.
TEST(MprisProperties, PlaybackStatusSaysPlayingOnlyWhileThePlayerPlays) {
  const auto with = [](PlayPhase phase, bool play_wanted, bool audio_playing, bool song = true) {
    RadioState state = song ? SongState("1", "200", 100, phase) : RadioState{};
    state.phase = phase;
    state.play_wanted = play_wanted;
    state.audio_playing = audio_playing;
    return state;
  };
  const struct {
    const char* name;
    RadioState state;
    const char* status;
  } cases[] = {
      {"before the first song", RadioState{}, "Stopped"},
      {"playing", with(PlayPhase::Playing, true, true), "Playing"},
      {"paused", with(PlayPhase::Paused, false, false), "Paused"},
      {"stopped", with(PlayPhase::Stopped, false, false), "Stopped"},
      {"the next song on its way, the one before playing on", with(PlayPhase::Loading, true, true), "Playing"},
      {"the next song on its way after the player failed", with(PlayPhase::Loading, true, false), "Stopped"},
      {"paused while the next song is on its way", with(PlayPhase::Loading, false, false), "Paused"},
      {"the first song on its way", with(PlayPhase::Loading, true, false, false), "Stopped"},
      {"given up", with(PlayPhase::GivenUp, true, false, false), "Stopped"},
  };
  for (const auto& c : cases) EXPECT_EQ(mpris::PlaybackStatus(c.state), c.status) << c.name;
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
  const QVariantMap metadata = mpris::Metadata(SongState("1001", "244", 100), "file:///run/cover.png");
  EXPECT_EQ(metadata.value("mpris:trackid").value<QDBusObjectPath>().path(), "/org/orvelle/track/1001");
  EXPECT_EQ(metadata.value("xesam:title").toString(), "Blue Line");
  EXPECT_EQ(metadata.value("xesam:artist").toStringList(), QStringList{"Ana Mar"});
  EXPECT_EQ(metadata.value("xesam:album").toString(), "Harbour");
  EXPECT_EQ(metadata.value("mpris:length").toLongLong(), 244'000'000);
  EXPECT_EQ(metadata.value("mpris:artUrl").toString(), "file:///run/cover.png");

  EXPECT_TRUE(mpris::Metadata(RadioState{}, "file:///run/cover.png").isEmpty()) << "no song yet";
  const QVariantMap odd = mpris::Metadata(SongState("1001", "4:04", 100), "");
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
    EXPECT_EQ(mpris::PositionMicroseconds(SongState("1", c.length, c.remaining)), c.position)
        << c.length.toStdString() << " " << c.remaining;
  }
}

// While the song plays the position is the player's, to the microsecond, within the song; paused
// it is the countdown's again, and so is a position the player cannot give.
TEST(MprisProperties, PositionIsThePlayersWhilePlaying) {
  RadioState state = SongState("1", "244", 200);
  EXPECT_EQ(mpris::PositionMicroseconds(state, 43'456'789), 43'456'789);
  EXPECT_EQ(mpris::PositionMicroseconds(state, 250'000'000), 244'000'000) << "never past the length";
  EXPECT_EQ(mpris::PositionMicroseconds(state, std::nullopt), 44'000'000) << "the player cannot tell: the countdown's";
  state.song.length = "x";
  EXPECT_EQ(mpris::PositionMicroseconds(state, 250'000'000), 250'000'000) << "no length known: the player's as it is";
  state = SongState("1", "244", 200, PlayPhase::Paused);
  EXPECT_EQ(mpris::PositionMicroseconds(state, 43'456'789), 44'000'000) << "paused: the countdown's";
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

// A process id that no process has any more: a child that has ended.
qint64 EndedProcessId() {
  QProcess child;
  child.start("true", {});
  EXPECT_TRUE(child.waitForStarted(kWaitMs));
  const qint64 pid = child.processId();
  EXPECT_TRUE(child.waitForFinished(kWaitMs));
  return pid;
}

// A process killed before it could remove its cover (SIGKILL) leaves it behind; the next start
// removes the covers of ended processes, not those of running ones nor files of other names; the
// folder goes at exit when it is left empty, and stays while another process's cover is in it.
TEST(CoverArtFile, CoversOfEndedProcessesGoAtStartAndTheEmptyFolderAtExit) {
  QTemporaryDir runtime;
  const QDir folder(runtime.filePath("orvelle"));
  ASSERT_TRUE(folder.mkpath("."));
  const qint64 dead = EndedProcessId();
  ASSERT_GT(dead, 0);
  const QString dead_cover = QStringLiteral("cover-%1-3.png").arg(dead);
  const QString running_cover = QStringLiteral("cover-%1-1.png").arg(QCoreApplication::applicationPid());
  for (const QString& name : {dead_cover, running_cover, QStringLiteral("notes.txt")}) {
    QFile file(folder.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  {
    CoverArtFile file(folder.path());
    EXPECT_FALSE(folder.exists(dead_cover)) << "the cover of an ended process stays";
    EXPECT_TRUE(folder.exists(running_cover)) << "the cover of a running process went";
    EXPECT_TRUE(folder.exists("notes.txt"));
  }
  EXPECT_TRUE(folder.exists()) << "the folder went with other files in it";
  QFile::remove(folder.filePath(running_cover));
  QFile::remove(folder.filePath("notes.txt"));
  {
    CoverArtFile file(folder.path());
    file.Update("1", [] {
      QImage image(4, 4, QImage::Format_ARGB32);
      image.fill(Qt::blue);
      return image;
    });
    ASSERT_FALSE(folder.isEmpty());
  }
  EXPECT_FALSE(QFileInfo::exists(folder.path())) << "the empty folder stays after exit";
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

// The settings file, in a folder of the test's own.
struct SettingsFile {
  QTemporaryDir folder;
  QString path = folder.filePath("orvelle/orvelle.conf");

  void Write(const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
};

TEST(ListenerSettings, RemembersTheChannelAndTheVolumeAcrossStarts) {
  SettingsFile f;
  {
    ListenerSettings first_run(f.path);
    EXPECT_FALSE(first_run.Channel() || first_run.Volume() || first_run.Muted()) << "nothing before the first run";
    first_run.RememberChannel("17");
    first_run.RememberVolume(80, true);
    EXPECT_TRUE(first_run.Write());
  }
  {
    ListenerSettings second_run(f.path);
    EXPECT_EQ(second_run.Channel(), QString("17"));
    EXPECT_EQ(second_run.Volume(), 80);
    EXPECT_EQ(second_run.Muted(), true);
    second_run.RememberVolume(ListenerSettings::kMaxVolume + 50, false);
  }  // written when it goes, without a call to Write
  ListenerSettings third_run(f.path);
  EXPECT_EQ(third_run.Volume(), ListenerSettings::kMaxVolume) << "clamped to the player's loudest";
  EXPECT_EQ(third_run.Muted(), false);
  EXPECT_EQ(third_run.Channel(), QString("17"));
}

TEST(ListenerSettings, ChangesAreWrittenSoonAfterTheyAreMade) {
  SettingsFile f;
  ListenerSettings settings(f.path);
  settings.RememberChannel("4");
  ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(f.path); }, kWaitMs)) << "not written while running";
  EXPECT_EQ(ListenerSettings(f.path).Channel(), QString("4"));
}

// A damaged, foreign or hostile file gives the values of a first run and one log line, never a
// crash or a hang; values of a wrong type or out of range are each ignored, the sound ones taken.
TEST(ListenerSettings, AnUnsoundFileOrValueIsIgnoredWithOneLogLine) {
  QByteArray binary(300, '\0');
  for (int i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 37);
  const struct {
    const char* what;
    std::function<void(SettingsFile&)> make;
    std::optional<QString> channel;
    std::optional<int> volume;
    std::optional<bool> muted;
    const char* logged;
  } cases[] = {
      {"sound", [](SettingsFile& f) { f.Write("[General]\nchannel=17\nvolume=80\nmuted=false\n"); }, "17", 80, false,
       nullptr},
      {"huge", [](SettingsFile& f) { f.Write("channel=17\n" + QByteArray(ListenerSettings::kMaxFileBytes, '#')); },
       {}, {}, {}, "larger than"},
      {"binary", [&](SettingsFile& f) { f.Write("channel=17\n" + binary); }, {}, {}, {}, "not a text file"},
      {"a folder", [](SettingsFile& f) { QDir().mkpath(f.path); }, {}, {}, {}, "not a regular file"},
      {"a pipe",
       [](SettingsFile& f) {
         QDir().mkpath(QFileInfo(f.path).absolutePath());
         ASSERT_EQ(::mkfifo(QFile::encodeName(f.path).constData(), 0600), 0);
       },
       {}, {}, {}, "not a regular file"},
      {"wrong types", [](SettingsFile& f) { f.Write("channel=17, 18\nvolume=loud\nmuted=1\n"); }, {}, {}, {},
       "values ignored: channel, volume, muted"},
      {"out of range", [](SettingsFile& f) { f.Write("channel=17\nvolume=201\nmuted=true\n"); }, "17", {}, true,
       "values ignored: volume"},
      {"negative", [](SettingsFile& f) { f.Write("volume=-1\n"); }, {}, {}, {}, "values ignored: volume"},
      {"past int", [](SettingsFile& f) { f.Write("volume=99999999999999999999\n"); }, {}, {}, {}, "values ignored: volume"},
      {"long channel", [](SettingsFile& f) { f.Write("channel=" + QByteArray(ListenerSettings::kMaxChannelLength + 1, '7')); },
       {}, {}, {}, "values ignored: channel"},
      {"control character", [](SettingsFile& f) { f.Write("channel=\"1\\t7\"\nvolume=5\n"); }, {}, 5, {},
       "values ignored: channel"},
  };
  for (const auto& c : cases) {
    SettingsFile f;
    c.make(f);
    LogCapture log;
    ListenerSettings settings(f.path);
    EXPECT_EQ(settings.Channel(), c.channel) << c.what;
    EXPECT_EQ(settings.Volume(), c.volume) << c.what;
    EXPECT_EQ(settings.Muted(), c.muted) << c.what;
    const QStringList warnings = log.Matching("orvelle.desktop warning");
    if (c.logged) {
      EXPECT_EQ(warnings.size(), 1) << c.what << ": " << warnings.join('\n').toStdString();
      EXPECT_TRUE(warnings.value(0).contains(c.logged)) << c.what << ": " << warnings.join('\n').toStdString();
    } else {
      EXPECT_TRUE(warnings.isEmpty()) << c.what << ": " << warnings.join('\n').toStdString();
    }
  }
}

// The lyrics' size comes back from the last run; "notify=false", written by the listener, turns the
// song notifications off and stays when the program writes the file. Sizes outside the lyrics'
// bounds and values that are not booleans are ignored like the others.
TEST(ListenerSettings, KeepsTheLyricsSizeAndTheListenersNotificationChoice) {
  SettingsFile f;
  f.Write("[General]\nnotify=false\n");
  {
    ListenerSettings first_run(f.path);
    EXPECT_FALSE(first_run.NotificationsWanted());
    EXPECT_FALSE(first_run.LyricsSize());
    first_run.RememberLyricsSize(24);
  }
  ListenerSettings second_run(f.path);
  EXPECT_EQ(second_run.LyricsSize(), 24);
  EXPECT_FALSE(second_run.NotificationsWanted()) << "the listener's line is kept";

  const struct {
    QByteArray line;
    std::optional<int> lyrics_size;
    bool notifications;
  } rows[] = {
      {"lyrics_size=8\nnotify=true", 8, true},     {"lyrics_size=40", 40, true},
      {"lyrics_size=7\nnotify=no", {}, true},      {"lyrics_size=41\nnotify=0", {}, true},
      {"lyrics_size=big\nnotify=FALSE", {}, true}, {"lyrics_size=-16", {}, true},
  };
  for (const auto& row : rows) {
    SettingsFile g;
    g.Write(row.line);
    LogCapture log;
    ListenerSettings settings(g.path);
    EXPECT_EQ(settings.LyricsSize(), row.lyrics_size) << row.line.constData();
    EXPECT_EQ(settings.NotificationsWanted(), row.notifications) << row.line.constData();
    const bool unsound = !row.lyrics_size || (row.line.contains("notify=") && !row.line.contains("notify=true"));
    EXPECT_EQ(log.Matching("orvelle.desktop warning", "values ignored").size(), unsound ? 1 : 0) << row.line.constData();
  }
}

// The first change replaces a file that was ignored as a whole (QSettings would read it again).
TEST(ListenerSettings, AnIgnoredFileIsReplacedAtTheFirstChange) {
  for (const bool pipe : {false, true}) {
    SettingsFile f;
    if (pipe) {
      QDir().mkpath(QFileInfo(f.path).absolutePath());
      ASSERT_EQ(::mkfifo(QFile::encodeName(f.path).constData(), 0600), 0);
    } else {
      f.Write(QByteArray(ListenerSettings::kMaxFileBytes + 1, 'x'));
    }
    {
      ListenerSettings settings(f.path);
      settings.RememberChannel("17");
      EXPECT_TRUE(settings.Write());
    }
    EXPECT_LT(QFileInfo(f.path).size(), 100) << "pipe " << pipe;
    EXPECT_EQ(ListenerSettings(f.path).Channel(), QString("17")) << "pipe " << pipe;
  }
}

TEST(ListenerSettings, AFileThatCannotBeWrittenIsLoggedOnce) {
  SettingsFile f;
  QFile blocker(f.folder.filePath("orvelle"));  // a file where the folder should be
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  LogCapture log;
  ListenerSettings settings(f.path);
  settings.RememberChannel("17");
  EXPECT_FALSE(settings.Write());
  settings.RememberVolume(50, false);
  EXPECT_FALSE(settings.Write());
  EXPECT_EQ(log.Matching("orvelle.desktop warning", "Cannot write the settings file").size(), 1)
      << log.Lines().join('\n').toStdString();
}

TEST(ListenerSettings, AnUnreadableFileIsIgnoredWithOneLogLine) {
  SettingsFile f;
  f.Write("channel=17\n");
  QFile::setPermissions(f.path, QFileDevice::WriteOwner);
  QFile probe(f.path);
  if (probe.open(QIODevice::ReadOnly)) GTEST_SKIP() << "this user reads files without read permission (root)";
  LogCapture log;
  ListenerSettings settings(f.path);
  EXPECT_FALSE(settings.Channel());
  EXPECT_EQ(log.Matching("orvelle.desktop warning", "ignored").size(), 1) << log.Lines().join('\n').toStdString();
}

TEST(ListenerSettings, TheFileIsInTheUsersConfigurationFolder) {
  QTemporaryDir config;
  ScopedEnvironment home("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  EXPECT_EQ(ListenerSettings::DefaultPath(), config.filePath("orvelle/orvelle.conf"));
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
  for (const char* listed : {"ORVELLE_SERVICE_URL", "ORVELLE_AUDIO_OUTPUT", "XDG_CONFIG_HOME", "orvelle/orvelle.conf",
                             "notify=false", "Space ", "Right, N ", "M ", "Up, Down ", "L ", "Ctrl+Q "}) {
    EXPECT_NE(help.find(listed), std::string::npos) << "the help does not list " << listed;
  }
  EXPECT_EQ(help.find("platform"), std::string::npos) << "Qt's options stay out of the help";
  EXPECT_EQ(help.find("help-all"), std::string::npos) << "the help promises no list of Qt's options";
}

}  // namespace
}  // namespace orvelle::test
