// Orvelle on a private session bus (the test runs under dbus-run-session): the MPRIS player as
// the real playerctl client sees and drives it, the second start handing over to the first, and
// the idle inhibit asking a fake portal or screen saver registered by the test.

#include "desktop/desktop_integration.h"
#include "desktop/idle_inhibitor.h"
#include "desktop/mpris_service.h"
#include "desktop/single_instance.h"
#include "fake_target.h"
#include "log_capture.h"
#include "qstring_printer.h"
#include "session_bus_support.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <optional>
#include <chrono>

namespace orvelle::test {
namespace {

class MprisTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    service = std::make_unique<MprisService>(target, QDBusConnection::sessionBus(), "org.orvelle.Orvelle",
                                             covers.path());
    ASSERT_TRUE(service->Register());
  }
  void TearDown() override { service.reset(); }

  QTemporaryDir covers;
  FakeTarget target;
  std::unique_ptr<MprisService> service;
};

TEST_F(MprisTest, PlayerctlShowsTheSongWithItsCover) {
  const ClientResult shown = Playerctl({"metadata", "--format", "{{title}}|{{artist}}|{{album}}|{{mpris:length}}|{{mpris:artUrl}}"});
  ASSERT_EQ(shown.exit_code, 0);
  const QStringList fields = shown.output.split('|');
  ASSERT_EQ(fields.size(), 5) << shown.output.toStdString();
  EXPECT_EQ(fields[0], "Blue Line");
  EXPECT_EQ(fields[1], "Ana Mar");
  EXPECT_EQ(fields[2], "Harbour");
  EXPECT_EQ(fields[3], "244000000");
  const QImage art(QUrl(fields[4]).toLocalFile());
  ASSERT_FALSE(art.isNull()) << "the cover file does not decode: " << fields[4].toStdString();
  EXPECT_EQ(art.size(), QSize(40, 40));
  EXPECT_EQ(art.pixelColor(5, 5), QColor(Qt::red));

  // playerctl shows an object path between quotes.
  EXPECT_EQ(Playerctl({"metadata", "--format", "{{mpris:trackid}}"}).output, "'/org/orvelle/track/1001'");
  EXPECT_EQ(Playerctl({"status"}).output, "Playing");
  // One second into the countdown; playerctl adds the time since it read the position.
  EXPECT_NEAR(Playerctl({"position"}).output.toDouble(), 1.0, 0.5);
  service.reset();
  EXPECT_FALSE(QFileInfo::exists(QUrl(fields[4]).toLocalFile())) << "the cover file goes with the player";
}

TEST_F(MprisTest, PlayerctlPausesResumesSkipsAndSetsTheVolume) {
  PropertiesListener listener("listener");
  ASSERT_EQ(Playerctl({"play-pause"}).exit_code, 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !target.state.audio_playing; }, kWaitMs));
  EXPECT_EQ(Playerctl({"status"}).output, "Paused");
  Playerctl({"pause"});
  Playerctl({"play"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return target.state.audio_playing; }, kWaitMs));
  EXPECT_EQ(target.play_pause_clicks, 2) << "pause while paused does nothing";

  Playerctl({"next"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return target.skips == 1; }, kWaitMs));
  EXPECT_EQ(Playerctl({"metadata", "title"}).output, "小河");
  ASSERT_TRUE(QTest::qWaitFor([&] { return listener.Announced("Metadata").has_value(); }, kWaitMs));
  const QVariantMap changed = *listener.Announced("Metadata");
  EXPECT_EQ(qdbus_cast<QVariantMap>(changed.value("Metadata")).value("xesam:title").toString(), "小河");
  EXPECT_FALSE(changed.contains("Volume")) << "only what changed is announced";

  Playerctl({"volume", "0.5"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return target.volume == 50; }, kWaitMs));
  EXPECT_EQ(Playerctl({"volume"}).output, "0.500000");
  EXPECT_TRUE(QTest::qWaitFor([&] { return listener.Announced("Volume").has_value(); }, kWaitMs));

  Playerctl({"previous"});
  Playerctl({"stop"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return target.stops == 1; }, kWaitMs));
  EXPECT_EQ(Playerctl({"status"}).output, "Stopped");
  EXPECT_EQ(target.skips, 1) << "there is no previous song";
  Playerctl({"play"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return target.state.audio_playing; }, kWaitMs)) << "play after stop";
  EXPECT_EQ(Playerctl({"status"}).output, "Playing");
}

TEST_F(MprisTest, RootInterfaceRaisesAndQuits) {
  PropertiesListener client("root-client");
  const auto get = [&](const char* name) {
    QDBusMessage call = QDBusMessage::createMethodCall(MprisService::kServiceName, MprisService::kObjectPath,
                                                       "org.freedesktop.DBus.Properties", "Get");
    call << QString(MprisService::kRootInterface) << QString(name);
    QDBusPendingCall pending = client.Bus().asyncCall(call);
    QDBusPendingCallWatcher watcher(pending);
    QSignalSpy done(&watcher, &QDBusPendingCallWatcher::finished);
    done.wait(kClientTimeoutMs);
    return QDBusReply<QVariant>(pending.reply()).value();
  };
  EXPECT_EQ(get("Identity").toString(), "Orvelle");
  EXPECT_EQ(get("DesktopEntry").toString(), "org.orvelle.Orvelle");
  EXPECT_TRUE(get("CanRaise").toBool());
  EXPECT_TRUE(get("CanQuit").toBool());
  EXPECT_FALSE(get("HasTrackList").toBool());

  for (const char* method : {"Raise", "Quit"}) {
    client.Bus().call(QDBusMessage::createMethodCall(MprisService::kServiceName, MprisService::kObjectPath,
                                                     MprisService::kRootInterface, method),
                      QDBus::NoBlock);
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return target.raises == 1; }, kWaitMs));
  EXPECT_TRUE(QTest::qWaitFor([&] { return target.quits == 1; }, kWaitMs));
}

// The second start exits with 0 and the first window is raised.
TEST_F(MprisTest, ASecondStartRaisesTheFirstAndExitsWithZero) {
  QElapsedTimer clock;
  clock.start();
  const ClientResult second = RunClient(SECOND_START, {});
  RecordProperty("second_start_ms", static_cast<int>(clock.elapsed()));
  EXPECT_EQ(second.exit_code, 0);
  EXPECT_EQ(target.raises, 1);
}

TEST(SingleInstance, TheFirstStartTakesTheName) {
  const ClientResult first = RunClient(SECOND_START, {});
  EXPECT_EQ(first.exit_code, 3) << "with no player on the bus the start would go on";
}

// An instance holding the name without answering Raise is starting up (its window comes) or on
// its way out (its name goes): a start then goes on only when the name is released soon.
TEST(SingleInstance, AStartWhileTheRunningOneLeavesGoesOn) {
  const struct {
    int release_after_ms;  // -1: kept
    int exit_code;
  } cases[] = {{150, 3}, {-1, 0}};
  const QString name = QString::fromLatin1(MprisService::kServiceName);
  for (const auto& c : cases) {
    QDBusConnection holder = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "holder");
    ASSERT_TRUE(holder.registerService(name));
    if (c.release_after_ms >= 0) {
      QTimer::singleShot(c.release_after_ms, [&holder, name] { holder.unregisterService(name); });
    }
    QElapsedTimer clock;
    clock.start();
    const ClientResult second = RunClient(SECOND_START, {});
    EXPECT_EQ(second.exit_code, c.exit_code) << "name released after " << c.release_after_ms << " ms";
    EXPECT_LT(clock.elapsed(), 1500) << "the second start ends at once";
    QDBusConnection::disconnectFromBus("holder");
  }
}


TEST(IdleInhibit, ThePortalIsAskedWhilePlayingAndReleasedOnPauseAndAtExit) {
  FakeInhibitService portal;
  Registration registered("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", &portal);
  QTemporaryDir covers;
  FakeTarget window;  // playing its first song
  {
    DesktopIntegration desktop(window, QDBusConnection::sessionBus(), covers.path());
    ASSERT_TRUE(WaitForHeld(desktop.Inhibitor(), true));
    EXPECT_EQ(portal.calls, QStringList{"Inhibit '' 8 Playing music"});

    window.PlayPause();  // paused
    ASSERT_TRUE(WaitForHeld(desktop.Inhibitor(), false));
    EXPECT_TRUE(QTest::qWaitFor([&] { return portal.calls.size() == 2; }, kWaitMs));
    EXPECT_EQ(portal.calls[1], "Close /org/freedesktop/portal/desktop/request/1_1/t1");

    window.PlayPause();  // playing again
    ASSERT_TRUE(WaitForHeld(desktop.Inhibitor(), true));
    window.Next();  // a new song while playing asks for nothing more
    QTest::qWait(100);
    EXPECT_EQ(portal.calls.size(), 3);
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return portal.calls.size() == 4; }, kWaitMs)) << "not released at exit";
  EXPECT_EQ(portal.calls.value(3), "Close /org/freedesktop/portal/desktop/request/1_1/t2");
}

// At exit the player's name goes before the inhibit is released, so that a start while Orvelle
// closes finds the name free.
TEST(IdleInhibit, AtExitThePlayersNameIsFreeBeforeTheInhibitIsReleased) {
  FakeInhibitService portal;
  Registration registered("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", &portal);
  QTemporaryDir covers;
  FakeTarget window;  // playing its first song
  std::optional<bool> name_held_at_release;
  portal.on_close = [&] {
    name_held_at_release =
        QDBusConnection::sessionBus().interface()->isServiceRegistered(MprisService::kServiceName).value();
  };
  {
    DesktopIntegration desktop(window, QDBusConnection::sessionBus(), covers.path());
    ASSERT_TRUE(WaitForHeld(desktop.Inhibitor(), true));
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return name_held_at_release.has_value(); }, kWaitMs))
      << "the inhibit was not released at exit";
  EXPECT_FALSE(*name_held_at_release);
}

TEST(IdleInhibit, APauseBeforeTheAnswerReleasesWhatTheAnswerGave) {
  FakeInhibitService portal;
  Registration registered("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", &portal);
  IdleInhibitor inhibitor(QDBusConnection::sessionBus());
  inhibitor.SetPlaying(true);
  inhibitor.SetPlaying(false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return portal.calls.size() == 2; }, kWaitMs));
  EXPECT_TRUE(portal.calls[1].startsWith("Close ")) << portal.calls.join('\n').toStdString();
  EXPECT_FALSE(inhibitor.Held());
}

TEST(IdleInhibit, WithoutAPortalTheScreenSaverIsAsked) {
  FakeScreenSaver screensaver;
  Registration registered("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", &screensaver);
  {
    IdleInhibitor inhibitor(QDBusConnection::sessionBus());
    inhibitor.SetPlaying(true);
    ASSERT_TRUE(WaitForHeld(inhibitor, true));
    EXPECT_EQ(screensaver.calls, QStringList{"Inhibit Orvelle: Playing music"});
    inhibitor.SetPlaying(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return screensaver.calls.size() == 2; }, kWaitMs));
    EXPECT_EQ(screensaver.calls[1], "UnInhibit 41");
    inhibitor.SetPlaying(true);
    ASSERT_TRUE(WaitForHeld(inhibitor, true));
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return screensaver.calls.value(3) == "UnInhibit 41"; }, kWaitMs))
      << "not released at exit: " << screensaver.calls.join('\n').toStdString();
}

TEST(IdleInhibit, WithNeitherServiceOrNoBusOneLineIsLoggedAndNothingElse) {
  LogCapture log;
  {
    IdleInhibitor inhibitor(QDBusConnection::sessionBus());
    inhibitor.SetPlaying(true);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return log.Matching("orvelle.desktop warning", "cannot inhibit idleness").size() == 1; }, kWaitMs));
    inhibitor.SetPlaying(false);
    inhibitor.SetPlaying(true);
    QTest::qWait(100);
    EXPECT_FALSE(inhibitor.Held());
  }
  EXPECT_EQ(log.Matching("orvelle.desktop warning").size(), 1) << log.Lines().join('\n').toStdString();

  QDBusConnection no_bus = QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "no-bus");
  ASSERT_FALSE(no_bus.isConnected());
  {
    IdleInhibitor inhibitor(no_bus);
    inhibitor.SetPlaying(true);
    inhibitor.SetPlaying(false);
  }
  EXPECT_EQ(log.Matching("orvelle.desktop warning", "no session bus").size(), 1) << log.Lines().join('\n').toStdString();
  QDBusConnection::disconnectFromBus("no-bus");
}

// A screen saver started after a failure is used from the next start of playing on: a resume or a
// new song, not every change while the same song plays.
TEST(IdleInhibit, AfterAFailureTheServicesAreAskedAgainAtTheNextStartOfPlaying) {
  LogCapture log;
  IdleInhibitor inhibitor(QDBusConnection::sessionBus());
  inhibitor.SetPlaying(true, "1001");
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return !log.Matching("orvelle.desktop warning", "cannot inhibit idleness").isEmpty(); }, kWaitMs));
  FakeScreenSaver screensaver;
  Registration registered("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", &screensaver);
  inhibitor.SetPlaying(true, "1001");  // the same song goes on playing
  QTest::qWait(100);
  EXPECT_TRUE(screensaver.calls.isEmpty()) << "asked again without a new start of playing";
  inhibitor.SetPlaying(true, "1002");  // the next song
  ASSERT_TRUE(WaitForHeld(inhibitor, true));
  EXPECT_EQ(screensaver.calls, QStringList{"Inhibit Orvelle: Playing music"});
  inhibitor.SetPlaying(false, "1002");
  ASSERT_TRUE(WaitForHeld(inhibitor, false));
}

TEST(IdleInhibit, AfterAFailureAResumeAsksAgain) {
  LogCapture log;
  IdleInhibitor inhibitor(QDBusConnection::sessionBus());
  inhibitor.SetPlaying(true, "1001");
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return !log.Matching("orvelle.desktop warning", "cannot inhibit idleness").isEmpty(); }, kWaitMs));
  FakeInhibitService portal;
  Registration registered("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", &portal);
  inhibitor.SetPlaying(false, "1001");
  inhibitor.SetPlaying(true, "1001");
  EXPECT_TRUE(WaitForHeld(inhibitor, true));
  inhibitor.SetPlaying(false, "1001");
  EXPECT_TRUE(WaitForHeld(inhibitor, false));
}

SongNotifier MakeNotifier() {
  return SongNotifier(QDBusConnection::sessionBus(), "Orvelle", "org.orvelle.Orvelle");
}

// Each song's notification replaces the one before and carries the title, the singer (its markup
// characters escaped, since the desktop reads markup in the body) and the cover fitted to 128
// pixels as RGBA rows.
TEST(SongNotifications, EachSongReplacesTheLastWithItsTitleSingerAndCover) {
  FakeNotificationService desktop;
  SongNotifier notifier = MakeNotifier();
  QImage cover(300, 200, QImage::Format_RGB32);
  cover.fill(qRgb(200, 10, 20));
  notifier.Show({"Blue Line", "Ana & <Mar>", cover});
  ASSERT_TRUE(QTest::qWaitFor([&] { return desktop.shown.size() == 1; }, kWaitMs));
  const FakeNotificationService::Shown first = desktop.shown[0];  // a copy: the list grows
  EXPECT_EQ(first.app_name, "Orvelle");
  EXPECT_EQ(first.replaces_id, 0u);
  EXPECT_EQ(first.app_icon, "org.orvelle.Orvelle");
  EXPECT_EQ(first.summary, "Blue Line");
  EXPECT_EQ(first.body, "Ana &amp; &lt;Mar&gt;");
  EXPECT_TRUE(first.actions.isEmpty());
  EXPECT_EQ(first.expire_timeout, -1);
  EXPECT_EQ(first.hints.value("desktop-entry").toString(), "org.orvelle.Orvelle");
  const std::optional<NotificationImage> image = first.Image();
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 128);
  EXPECT_EQ(image->height, 85);
  EXPECT_EQ(image->rowstride, 128 * 4);
  EXPECT_TRUE(image->has_alpha);
  EXPECT_EQ(image->bits_per_sample, 8);
  EXPECT_EQ(image->channels, 4);
  ASSERT_EQ(image->data.size(), 128 * 4 * 85);
  EXPECT_EQ(image->data.left(4), QByteArray("\xC8\x0A\x14\xFF", 4)) << "R, G, B, A";

  notifier.Show({"Harbour Song", "Ana Mar", QImage()});
  ASSERT_TRUE(QTest::qWaitFor([&] { return desktop.shown.size() == 2; }, kWaitMs));
  EXPECT_EQ(desktop.shown[1].replaces_id, first.id);
  EXPECT_EQ(desktop.shown[1].summary, "Harbour Song");
  EXPECT_FALSE(desktop.shown[1].Image()) << "no cover, no image";
}

// Songs that come while the desktop has not answered yet are sent after its answer, the latest
// only; a desktop that reads no markup gets the singer as written.
TEST(SongNotifications, OnlyTheLatestOfSongsInQuickSuccessionIsShown) {
  FakeNotificationService desktop({"body"});
  SongNotifier notifier = MakeNotifier();
  for (const char* title : {"One", "Two", "Three"}) notifier.Show({title, "R&B <Band>", QImage()});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop.shown.isEmpty(); }, kWaitMs));
  QTest::qWait(200);
  ASSERT_EQ(desktop.shown.size(), 1);
  EXPECT_EQ(desktop.shown[0].summary, "Three");
  EXPECT_EQ(desktop.shown[0].body, "R&B <Band>");
}

// Without a notification service nothing is shown and one debug line says so; a service that
// comes later shows the next song.
TEST(SongNotifications, WithoutANotificationServiceOneDebugLineAndNothingElse) {
  LogCapture log;
  SongNotifier notifier = MakeNotifier();
  notifier.Show({"One", "Ana Mar", QImage()});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !log.Matching("orvelle.desktop debug", "No song notifications").isEmpty(); },
                              kWaitMs));
  notifier.Show({"Two", "Ana Mar", QImage()});
  QTest::qWait(300);
  EXPECT_EQ(log.Matching("orvelle.desktop debug", "No song notifications").size(), 1) << log.Lines().join('\n').toStdString();
  EXPECT_TRUE(log.Matching("orvelle.desktop warning").isEmpty()) << log.Lines().join('\n').toStdString();

  FakeNotificationService desktop;
  notifier.Show({"Three", "Ana Mar", QImage()});
  ASSERT_TRUE(QTest::qWaitFor([&] { return desktop.shown.size() == 1; }, kWaitMs));
  EXPECT_EQ(desktop.shown[0].summary, "Three");
}

// The program without a session bus starts as before: the one-instance claim, the player and the
// idle inhibit together log one line.
TEST(DesktopWithoutABus, OneLineIsLoggedForAll) {
  LogCapture log;
  QDBusConnection no_bus = QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "no-bus-program");
  ASSERT_FALSE(no_bus.isConnected());
  EXPECT_EQ(ClaimSingleInstance(no_bus), InstanceClaim::NoBus);
  QTemporaryDir covers;
  FakeTarget window;  // playing its first song
  {
    DesktopIntegration desktop(window, no_bus, covers.path());
    window.PlayPause();
    window.PlayPause();
    QTest::qWait(100);
  }
  EXPECT_EQ(log.Matching("orvelle.desktop warning").size(), 1) << log.Lines().join('\n').toStdString();
  QDBusConnection::disconnectFromBus("no-bus-program");
}

}  // namespace
}  // namespace orvelle::test
