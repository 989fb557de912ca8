// The windows go on while a load waits for the network: timers tick, the countdown's ticks are
// held and coalesce, and closing the main window ends the waiting load.

#include "radio_test_support.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/network_wait.h"
#include "toolkit/timer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

namespace orvelle::test {
namespace {

using NetworkWaitTest = RadioTest;

// A 40 ms timer (the disc's rotation) keeps ticking through a load whose answer takes 2 s; the
// countdown timer's ticks that fall due meanwhile are held and arrive as one, after the load.
TEST_F(NetworkWaitTest, TimersTickWhileALoadWaitsAndCountdownTicksCoalesce) {
  state.ChannelId = "17";
  DemoServiceEnvironment::AddFault(R"({"target":"playlist","kind":"delay","delay_ms":2000})");

  int animation_ticks = 0;
  QTimer animation;
  QObject::connect(&animation, &QTimer::timeout, [&] { ++animation_ticks; });
  animation.start(40);

  bool loading = false;
  int countdown_ticks = 0;
  int countdown_ticks_inside_the_load = 0;
  Timer countdown;
  countdown.SetInterval(200);
  QObject::connect(&countdown, &Timer::OnTimer, [&] {
    ++countdown_ticks;
    if (loading) ++countdown_ticks_inside_the_load;
  });

  loading = true;
  loader->LoadNextSong();
  loading = false;

  RecordProperty("animation_ticks", animation_ticks);
  EXPECT_EQ(view.calls.size(), 8);  // the song loaded
  // About 50 in 2 s; a loaded machine still gets far more than a frozen loop's none.
  EXPECT_GE(animation_ticks, 10);
  EXPECT_EQ(countdown_ticks_inside_the_load, 0);
  EXPECT_EQ(countdown_ticks, 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(countdown_ticks, 1);
}

// The main window closes 300 ms into an answer that takes 6 s: the load ends soon after,
// without showing or playing anything, and the event loop ends.
TEST_F(NetworkWaitTest, ClosingTheMainWindowAbandonsAWaitingLoad) {
  state.ChannelId = "17";
  DemoServiceEnvironment::AddFault(R"({"target":"playlist","kind":"delay","delay_ms":6000})");
  Form window;
  Application::SetMainForm(&window);
  window.show();

  QElapsedTimer since_close;
  qint64 load_ended_after_close = -1;
  QTimer::singleShot(0, [&] {
    loader->LoadNextSong();
    load_ended_after_close = since_close.isValid() ? since_close.elapsed() : -1;
  });
  QTimer::singleShot(300, [&] {
    since_close.start();
    window.close();
  });
  QCoreApplication::exec();
  Application::SetMainForm(nullptr);

  RecordProperty("load_ended_ms_after_close", static_cast<int>(load_ended_after_close));
  ASSERT_GE(load_ended_after_close, 0) << "the load ended before the window closed";
  EXPECT_LT(load_ended_after_close, 3000) << "the load waited for the delayed answer";
  EXPECT_TRUE(view.calls.isEmpty());
  EXPECT_TRUE(player.Calls().isEmpty());
}

// A request started by a handler that runs while another request waits queues behind it
// instead of using the one client at the same time.
TEST_F(NetworkWaitTest, ARequestStartedDuringAWaitRunsAfterTheWaitingOne) {
  DemoServiceEnvironment::AddFault(R"({"target":"playlist","kind":"delay","delay_ms":500})");
  const QString playlist = DemoServiceEnvironment::Base() + "/j/v2/playlist?channel=17";
  const QString lyrics = DemoServiceEnvironment::Base() + "/j/v2/lyric?sid=1010&ssid=d2b6";
  QString inner_answer;
  QTimer::singleShot(100, [&] {
    WaitForNetwork([&] { inner_answer = client.Get(lyrics); }, [&] { client.Abort(); });
  });
  QString outer_answer;
  WaitForNetwork([&] { outer_answer = client.Get(playlist); }, [&] { client.Abort(); });
  EXPECT_TRUE(outer_answer.contains("\"song\""));
  EXPECT_TRUE(inner_answer.contains("\"lyric\""));
  const QStringList targets = DemoServiceEnvironment::Targets();
  ASSERT_EQ(targets.size(), 2);
  EXPECT_TRUE(targets[0].startsWith("/j/v2/playlist"));
}

// The retry of a given-up load runs once after its delay, not while ticks are held, and not
// at all when cancelled.
TEST(RetryScheduler, RunsOnceAfterTheDelayUnlessHeldOrCancelled) {
  const std::unique_ptr<RetryScheduler> scheduler = MakeTimerRetryScheduler();
  int runs = 0;
  scheduler->Schedule(std::chrono::milliseconds(30), [&] { ++runs; });
  {
    Timer::TickHold hold;
    QTest::qWait(150);
    EXPECT_EQ(runs, 0);
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return runs == 1; }, 5000));
  QTest::qWait(100);
  EXPECT_EQ(runs, 1);

  scheduler->Schedule(std::chrono::milliseconds(30), [&] { ++runs; });
  scheduler->Cancel();
  QTest::qWait(150);
  EXPECT_EQ(runs, 1);
}

TEST(NetworkWait, PassesTheRequestsErrorOn) {
  EXPECT_THROW(WaitForNetwork([] { throw Error("refused"); }, [] {}), Error);
}

}  // namespace
}  // namespace orvelle::test
