// Orvelle's main window on the desktop, end to end: the real playerctl drives the window playing
// the demo service on a private session bus (the program runs under dbus-run-session), the idle
// inhibit follows its play/pause button, a second start of the real program raises it, and the
// program leaves nothing behind in the runtime folder.

#include "../desktop/session_bus_support.h"
#include "app_test_support.h"
#include "app/song_notifications.h"
#include "desktop/desktop_integration.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>
#include <QDBusConnectionInterface>

#include <QDir>

#include <csignal>

namespace orvelle::test {
namespace {

testing::Environment* const demo_service = testing::AddGlobalTestEnvironment(new DemoServiceEnvironment);


// The windows playing their first song, with the desktop integration the program adds around
// them; the cover's file goes to a folder of the test's own.
class DesktopTest : public OrvelleTest {
 protected:
  void StartOnTheDesktop() {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    Start();
    desktop = std::make_unique<DesktopIntegration>(*main_window, QDBusConnection::sessionBus(), covers.path());
  }
  void TearDown() override {
    desktop.reset();
    OrvelleTest::TearDown();
  }

  QString Shown(const char* field) {
    return Playerctl({"metadata", "--format", QStringLiteral("{{%1}}").arg(QLatin1String(field))}).output;
  }

  QTemporaryDir covers;
  std::unique_ptr<DesktopIntegration> desktop;
};

TEST_F(DesktopTest, PlayerctlShowsTheSongTheWindowShows) {
  ASSERT_NO_FATAL_FAILURE(StartOnTheDesktop());
  EXPECT_EQ(Shown("title"), main_window->titleLabel->Caption());
  EXPECT_EQ(Shown("artist"), main_window->singerLabel->Caption());
  EXPECT_EQ(Shown("mpris:length"), QString::number(state().song.length.toLongLong() * 1000000));
  EXPECT_EQ(Playerctl({"status"}).output, "Playing");

  const QString art = QUrl(Shown("mpris:artUrl")).toLocalFile();
  EXPECT_TRUE(art.startsWith(covers.path())) << art.toStdString();
  const QImage cover(art);
  ASSERT_FALSE(cover.isNull()) << "the cover file does not decode: " << art.toStdString();
  EXPECT_EQ(cover.size(), main_window->Cover().Graphic()->ToImage().size());
  desktop.reset();
  EXPECT_FALSE(QFileInfo::exists(art)) << "the cover file goes at exit";
}

TEST_F(DesktopTest, PlayerctlPausesResumesSkipsAndSetsTheVolumeThroughTheWindow) {
  ASSERT_NO_FATAL_FAILURE(StartOnTheDesktop());
  PropertiesListener listener("listener");

  ASSERT_EQ(Playerctl({"play-pause"}).exit_code, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !state().audio_playing; }, kWaitMs));
  EXPECT_EQ(Images(main_window->playPauseButton), kPlayTriangle);
  EXPECT_FALSE(main_window->Radio().CountdownRunning()) << "the countdown stops as with the button";
  EXPECT_EQ(Playerctl({"status"}).output, "Paused");
  Playerctl({"play-pause"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return state().audio_playing; }, kWaitMs));
  EXPECT_EQ(Images(main_window->playPauseButton), kPauseBars);
  EXPECT_TRUE(PositionAdvances(player->PositionSeconds())) << "the audio plays again";

  DemoServiceEnvironment::Reset();
  const QString first_sid = state().song.sid;
  listener.seen.clear();
  Playerctl({"next"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return state().song.sid != first_sid && !state().song.sid.isEmpty(); },
                              20000));
  EXPECT_EQ(DemoServiceEnvironment::Targets("/j/v2/playlist").size(), 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return listener.Announced("Metadata").has_value(); }, kWaitMs));
  const QVariantMap metadata = qdbus_cast<QVariantMap>(listener.Announced("Metadata")->value("Metadata"));
  EXPECT_EQ(metadata.value("xesam:title").toString(), main_window->titleLabel->Caption());
  EXPECT_TRUE(metadata.contains("mpris:artUrl")) << "announced with the new song's cover";

  Playerctl({"volume", "0.5"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return main_window->volumeSlider->Value() == 50; }, kWaitMs));
  EXPECT_EQ(player->Volume(), 50);
  EXPECT_EQ(Playerctl({"volume"}).output, "0.500000");
}

TEST_F(DesktopTest, TheRemoteVolumeIsThePlayersAndFollowsMuting) {
  ASSERT_NO_FATAL_FAILURE(StartOnTheDesktop());
  EXPECT_EQ(Playerctl({"volume"}).output, "1.000000") << "the player's volume before the slider appeared";
  // The slider has not appeared yet and stands at 0: 0 from the remote control still reaches the
  // player.
  ASSERT_EQ(main_window->volumeSlider->Value(), 0);
  Playerctl({"volume", "0"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return player->Volume() == 0; }, kWaitMs));
  Playerctl({"volume", "1"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return player->Volume() == 100; }, kWaitMs));

  PropertiesListener listener("listener");
  Click(main_window->muteButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return listener.Announced("Volume").has_value(); }, kWaitMs));
  EXPECT_EQ(listener.Announced("Volume")->value("Volume").toDouble(), 0.0) << "muted";
  listener.seen.clear();
  Click(main_window->muteButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return listener.Announced("Volume").has_value(); }, kWaitMs));
  EXPECT_EQ(listener.Announced("Volume")->value("Volume").toDouble(), 1.0) << "unmuted";
}

// One volume for the window and the remote control: a volume set from outside while muted is
// heard, and the window shows it unmuted; muting again keeps that volume to come back to.
TEST_F(DesktopTest, AVolumeSetFromOutsideWhileMutedUnmutesTheWindow) {
  ASSERT_NO_FATAL_FAILURE(StartOnTheDesktop());
  Click(main_window->muteButton);
  ASSERT_TRUE(state().muted);
  Playerctl({"volume", "0.5"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return player->Volume() == 50; }, kWaitMs));
  EXPECT_FALSE(state().muted);
  EXPECT_EQ(Images(main_window->muteButton), (ImagePair{3, 0})) << "the unmuted look";
  EXPECT_EQ(Playerctl({"volume"}).output, "0.500000");
  Click(main_window->muteButton);
  EXPECT_EQ(Playerctl({"volume"}).output, "0.000000");
  Click(main_window->muteButton);
  EXPECT_EQ(player->Volume(), 50) << "unmuted to the volume set from outside, not the one from before";
}

TEST_F(DesktopTest, StopStopsThePlayerAndPlayStartsTheSongFromItsBeginning) {
  ASSERT_NO_FATAL_FAILURE(StartOnTheDesktop());
  ASSERT_TRUE(QTest::qWaitFor([&] { return player->PositionSeconds() > 1.5; }, 10000));
  const qint32 length = state().song.length.toInt();

  ASSERT_EQ(Playerctl({"stop"}).exit_code, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Playerctl({"status"}).output == "Stopped"; }, kWaitMs));
  EXPECT_FALSE(state().audio_playing);
  EXPECT_FALSE(main_window->Radio().CountdownRunning()) << "the countdown is held";
  EXPECT_FALSE(main_window->disc->RotateAnimation()) << "the disc stands still";
  EXPECT_EQ(Images(main_window->playPauseButton), kPlayTriangle);
  EXPECT_EQ(state().remaining_seconds, length - 1) << "the countdown stands at the song's beginning";

  const QString sid = state().song.sid;
  Playerctl({"play"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return state().audio_playing; }, kWaitMs));
  EXPECT_EQ(state().song.sid, sid) << "the same song";
  EXPECT_LT(player->PositionSeconds(), 1.0) << "from its beginning";
  EXPECT_TRUE(PositionAdvances(0));
  EXPECT_TRUE(main_window->Radio().CountdownRunning());
  EXPECT_EQ(Playerctl({"status"}).output, "Playing");
  Playerctl({"pause"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !state().audio_playing; }, kWaitMs));
  EXPECT_EQ(Playerctl({"status"}).output, "Paused") << "a pause after playing again is no stop";
}

// After a cover that could not be had (its box shown), the desktop names the song that plays, as
// the window does: its track, its title, and no cover.
TEST_F(DesktopTest, AfterAPictureBoxTheDesktopNamesTheSongThatPlays) {
  ASSERT_NO_FATAL_FAILURE(StartOnTheDesktop());
  DemoServiceEnvironment::AddFault(R"({"target":"picture","kind":"garbage","match":"/covers/"})");
  ModalWatcher boxes;
  const quint64 first_song = state().song_number;
  Click(main_window->nextButton);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return boxes.Seen().size() == 1 && !main_window->LoadUnderWay() && state().audio_playing; }, 20000));
  ASSERT_EQ(state().song_number, first_song + 1);
  EXPECT_EQ(main_window->disc->Picture()->Graphic(), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Shown("mpris:trackid").contains("/track/" + state().song.sid); }, kWaitMs))
      << Playerctl({"metadata"}).output.toStdString();
  EXPECT_EQ(Shown("xesam:title"), main_window->titleLabel->Caption());
  EXPECT_TRUE(Shown("mpris:artUrl").isEmpty());
  EXPECT_EQ(Playerctl({"status"}).output, "Playing");
}

// A new song is told to the desktop while the listener is in another window, with the title and
// singer the window shows and its cover; while the window is active it is not.
TEST_F(DesktopTest, ANewSongIsAnnouncedWhileTheWindowIsNotActive) {
  FakeNotificationService notifications;
  ASSERT_NO_FATAL_FAILURE(StartOnTheDesktop());
  SongNotifier notifier(QDBusConnection::sessionBus(), "Orvelle", DesktopIntegration::kDesktopEntry);
  NotifyNewSongs(*main_window, notifier);
  QWidget elsewhere;
  elsewhere.show();
  elsewhere.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));

  main_window->Next();  // a media key
  ASSERT_TRUE(LoadEnds());
  ASSERT_TRUE(QTest::qWaitFor([&] { return notifications.shown.size() == 1; }, kWaitMs));
  EXPECT_EQ(notifications.shown[0].summary, main_window->titleLabel->Caption());
  EXPECT_EQ(notifications.shown[0].body, main_window->singerLabel->Caption());
  ASSERT_TRUE(notifications.shown[0].Image());
  EXPECT_GT(notifications.shown[0].Image()->width, 0);

  main_window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(main_window));
  main_window->Next();
  ASSERT_TRUE(LoadEnds());
  QTest::qWait(300);
  EXPECT_EQ(notifications.shown.size(), 1);
}

TEST_F(DesktopTest, TheIdleInhibitFollowsThePlayPauseButtonAndEndsWithTheWindow) {
  FakeInhibitService portal;
  Registration registered("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", &portal);
  ASSERT_NO_FATAL_FAILURE(StartOnTheDesktop());
  ASSERT_TRUE(WaitForHeld(desktop->Inhibitor(), true));
  Click(main_window->playPauseButton);
  ASSERT_TRUE(WaitForHeld(desktop->Inhibitor(), false));
  Click(main_window->playPauseButton);
  ASSERT_TRUE(WaitForHeld(desktop->Inhibitor(), true));
  desktop.reset();
  EXPECT_TRUE(QTest::qWaitFor([&] { return portal.calls.size() == 4; }, kWaitMs)) << portal.calls.join('\n').toStdString();
  EXPECT_TRUE(portal.calls.value(3).startsWith("Close ")) << "released at exit";
}

TEST_F(DesktopTest, ASecondStartOfTheProgramRaisesTheWindowAndQuitClosesIt) {
  ASSERT_NO_FATAL_FAILURE(StartOnTheDesktop());
  main_window->showMinimized();
  ASSERT_TRUE(QTest::qWaitFor([&] { return main_window->isMinimized(); }, kWaitMs));

  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  QProcess second;
  second.setProcessEnvironment(environment);
  QElapsedTimer clock;
  clock.start();
  second.start(ORVELLE_PROGRAM, {});
  ASSERT_TRUE(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, kClientTimeoutMs));
  RecordProperty("second_start_ms", static_cast<int>(clock.elapsed()));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !main_window->isMinimized() && main_window->isVisible(); }, kWaitMs));

  QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(MprisService::kServiceName, MprisService::kObjectPath,
                                                                    MprisService::kRootInterface, "Quit"),
                                     QDBus::NoBlock);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !main_window->isVisible(); }, kWaitMs)) << "Quit closes the window";
}

// The desktop session ending (SIGTERM) and Ctrl+C in a terminal (SIGINT) end the program as
// closing its window does: the cover file goes and the player's name is free at once.
// The real program with a runtime and a configuration folder of its own, so that it neither leaves
// nor finds anything in the user's.
class ProgramProcess {
 public:
  ProgramProcess() {
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  // `runtime_folder`: another's in place of its own.
  void Start(const QString& runtime_folder = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("ORVELLE_AUDIO_OUTPUT", "null");
    environment.insert("XDG_RUNTIME_DIR", runtime_folder.isEmpty() ? runtime.path() : runtime_folder);
    environment.insert("XDG_CONFIG_HOME", config.path());
    process.setProcessEnvironment(environment);
    process.start(ORVELLE_PROGRAM, {});
    ASSERT_TRUE(process.waitForStarted(kClientTimeoutMs));
  }
  // Waits for the program to show a cover to the desktop; its file.
  QString CoverFile() {
    QString art;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          art = QUrl(Playerctl({"metadata", "mpris:artUrl"}).output).toLocalFile();
          return !art.isEmpty() && QFileInfo::exists(art);
        },
        20000))
        << "the program shows no cover";
    return art;
  }
  void Signal(int signal_number) {
    ::kill(static_cast<pid_t>(process.processId()), signal_number);
    EXPECT_TRUE(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, kClientTimeoutMs));
  }
  QString CoverFolder() const { return QDir(runtime.path()).filePath("orvelle"); }

  QTemporaryDir runtime;
  QTemporaryDir config;
  QProcess process;
};

TEST(ProgramOnTheDesktop, ATerminationSignalEndsItAsClosingDoes) {
  for (const int signal_number : {SIGTERM, SIGINT}) {
    ProgramProcess program;
    ASSERT_NO_FATAL_FAILURE(program.Start());
    const QString art = program.CoverFile();
    program.Signal(signal_number);
    EXPECT_EQ(program.process.exitStatus(), QProcess::NormalExit) << "signal " << signal_number;
    EXPECT_EQ(program.process.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(art)) << "the cover file stays after signal " << signal_number;
    EXPECT_FALSE(QFileInfo::exists(program.CoverFolder())) << "the empty runtime folder stays";
    EXPECT_FALSE(QDBusConnection::sessionBus().interface()->isServiceRegistered(MprisService::kServiceName).value());
  }
}

// A program killed outright (SIGKILL) cannot remove its cover: the next start does.
TEST(ProgramOnTheDesktop, TheCoverOfAKilledProgramGoesAtTheNextStart) {
  ProgramProcess killed;
  ASSERT_NO_FATAL_FAILURE(killed.Start());
  const QString stale = killed.CoverFile();
  killed.Signal(SIGKILL);
  ASSERT_TRUE(QFileInfo::exists(stale));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return !QDBusConnection::sessionBus().interface()->isServiceRegistered(MprisService::kServiceName).value(); },
      kClientTimeoutMs));

  ProgramProcess next;
  ASSERT_NO_FATAL_FAILURE(next.Start(killed.runtime.path()));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !QFileInfo::exists(stale); }, 20000)) << "the killed program's cover stays";
  next.Signal(SIGTERM);
}

// Started with SIGHUP ignored (nohup), the program keeps running when its terminal closes.
TEST(ProgramOnTheDesktop, AnIgnoredHangUpStaysIgnored) {
  QTemporaryDir config;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_CONFIG_HOME", config.path());
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("ORVELLE_AUDIO_OUTPUT", "null");
  QProcess program;
  program.setProcessEnvironment(environment);
  program.setChildProcessModifier([] { std::signal(SIGHUP, SIG_IGN); });
  program.start(ORVELLE_PROGRAM, {});
  ASSERT_TRUE(program.waitForStarted(kClientTimeoutMs));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Playerctl({"status"}).output == "Playing"; }, 20000));
  ::kill(static_cast<pid_t>(program.processId()), SIGHUP);
  QTest::qWait(500);
  EXPECT_EQ(program.state(), QProcess::Running) << "a hang-up ended the program started with it ignored";
  program.terminate();
  EXPECT_TRUE(QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, kClientTimeoutMs));
}

TEST(ProgramCommandLine, VersionAnswersWithoutADisplay) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove("DISPLAY");
  environment.remove("WAYLAND_DISPLAY");
  environment.remove("QT_QPA_PLATFORM");
  QProcess program;
  program.setProcessEnvironment(environment);
  program.start(ORVELLE_PROGRAM, {"--version"});
  ASSERT_TRUE(program.waitForFinished(kClientTimeoutMs));
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_TRUE(program.readAllStandardOutput().startsWith("Orvelle ")) << "the version line";
}

}  // namespace
}  // namespace orvelle::test
