// Loads that nothing waits for: a load returns at once and goes on from the event loop, a new
// load or the closing abandons the one under way and nothing of its late answers is shown, and
// a pause during the load holds the song it brings.

#include "../support/modal_watcher.h"
#include "radio/picture_download.h"
#include "radio_test_support.h"
#include "toolkit/message_box.h"
#include "toolkit/request_queue.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <thread>

namespace orvelle::test {
namespace {

constexpr char kOneSongChannel[] = "17";

using AsyncLoadTest = RadioTest;

TEST_F(AsyncLoadTest, ALoadReturnsAtOnceAndTheSongComesFromTheEventLoop) {
  state.ChannelId = kOneSongChannel;
  DemoServiceEnvironment::AddFault(R"({"target":"playlist","kind":"delay","delay_ms":1500})");
  QElapsedTimer clock;
  clock.start();
  loader->LoadNextSong();
  EXPECT_LT(clock.elapsed(), 500);
  EXPECT_TRUE(loader->Loading());
  EXPECT_TRUE(view.calls.isEmpty());
  ASSERT_TRUE(LoadEnds());
  EXPECT_GE(clock.elapsed(), 1400);
  EXPECT_EQ(view.calls.first(), QStringLiteral("title さくら通りの午後"));
  EXPECT_EQ(view.ends, std::vector<SongView::LoadEnd>{SongView::LoadEnd::SongShown});
  EXPECT_EQ(state.IsPlaying, 1);
}

// Whichever request of the load is under way when it is abandoned, its answer comes too late:
// nothing more is shown, opened or played, and the load counts as ended.
TEST_F(AsyncLoadTest, LateAnswersOfAnAbandonedLoadAreDropped) {
  struct Row {
    const char* name;
    std::vector<std::string> faults;
    // Whether the load has reached the delayed request.
    std::function<bool(const RecordingView&)> reached;
  };
  const auto waits = [](const RecordingView&) { return true; };
  const std::string slow_cover = R"({"target":"picture","kind":"delay","delay_ms":1500,"match":"/covers/"})";
  const std::vector<Row> rows = {
      {"playlist", {R"({"target":"playlist","kind":"delay","delay_ms":1500})"}, waits},
      {"cover", {slow_cover}, waits},
      {"singer picture",
       {R"({"target":"picture","kind":"delay","delay_ms":1500,"match":"/singers/"})"},
       [](const RecordingView& v) { return v.cover.Graphic() != nullptr; }},
      // The first cover request takes the quick fault, the disc's the slow one.
      {"disc picture",
       {R"({"target":"picture","kind":"delay","delay_ms":1,"match":"/covers/"})", slow_cover},
       [](const RecordingView& v) { return v.singer.Graphic() != nullptr; }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Fresh();
    state.ChannelId = kOneSongChannel;
    for (const std::string& fault : row.faults) DemoServiceEnvironment::AddFault(fault);
    ModalWatcher boxes;
    loader->LoadNextSong();
    ASSERT_TRUE(QTest::qWaitFor([&] { return row.reached(view); }, 5000));
    QTest::qWait(200);
    ASSERT_TRUE(loader->Loading());
    const QStringList before = view.calls;
    loader->Abandon();
    EXPECT_FALSE(loader->Loading());
    QTest::qWait(1600);
    EXPECT_EQ(view.calls, before);
    EXPECT_TRUE(view.ends.empty());
    EXPECT_TRUE(player.Calls().isEmpty());
    EXPECT_TRUE(boxes.Seen().isEmpty());
    EXPECT_EQ(view.disc.Graphic(), nullptr);
  }
}

// A second load started while the first waits abandons it: one song is shown, once.
TEST_F(AsyncLoadTest, ANewLoadAbandonsTheOneUnderWay) {
  state.ChannelId = kOneSongChannel;
  DemoServiceEnvironment::AddFault(R"({"target":"playlist","kind":"delay","delay_ms":3000})");
  QElapsedTimer clock;
  clock.start();
  loader->LoadNextSong();
  QTest::qWait(200);
  loader->LoadNextSong();
  ASSERT_TRUE(LoadEnds());
  EXPECT_LT(clock.elapsed(), 2500) << "the second load waited for the first one's answer";
  QTest::qWait(3000);
  EXPECT_EQ(view.ends, std::vector<SongView::LoadEnd>{SongView::LoadEnd::SongShown});
  EXPECT_EQ(player.Calls(), QStringList({"SetURL " + DemoServiceEnvironment::Base() + "/audio/1010.mp3", "Play"}));
}

// Paused while the song was on its way: it is shown and opened in the player, not started.
TEST_F(AsyncLoadTest, ASongThatComesWhilePausedIsShownButNotStarted) {
  state.ChannelId = kOneSongChannel;
  view.held = true;
  loader->LoadNextSong();
  ASSERT_TRUE(LoadEnds());
  EXPECT_EQ(player.Calls(), QStringList({"SetURL " + DemoServiceEnvironment::Base() + "/audio/1010.mp3"}));
  EXPECT_TRUE(view.calls.contains(QStringLiteral("title さくら通りの午後")));
  EXPECT_FALSE(view.calls.contains("countdown on"));
  EXPECT_FALSE(view.calls.contains("rotate on"));
  EXPECT_EQ(state.IsPlaying, 0);
}

// Destroying the loader and the requests (the program closing) during a long answer ends at once.
TEST_F(AsyncLoadTest, ClosingDuringALongAnswerEndsAtOnce) {
  state.ChannelId = kOneSongChannel;
  DemoServiceEnvironment::AddFault(R"({"target":"playlist","kind":"delay","delay_ms":20000})");
  auto own_client = std::make_unique<http::HttpClient>();
  auto own_requests = std::make_unique<ClientRequests>(*own_client);
  auto own_loader = std::make_unique<SongLoader>(state, *own_requests, view);
  own_loader->LoadNextSong();
  QTest::qWait(300);
  QElapsedTimer clock;
  clock.start();
  own_loader.reset();
  own_requests.reset();
  own_client.reset();
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_TRUE(view.calls.isEmpty());
}

TEST(RequestQueue, RunsInOrderReportsErrorsAndDropsCancelledOutcomes) {
  std::atomic<int> aborts = 0;
  RequestQueue queue([&] { ++aborts; });
  QStringList order;
  std::exception_ptr failure;
  queue.Submit([] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }, [&](std::exception_ptr) {
    order << "first";
  });
  const RequestQueue::Id dropped = queue.Submit([] {}, [&](std::exception_ptr) { order << "dropped"; });
  queue.Submit([] { throw Error("refused"); }, [&](std::exception_ptr error) {
    order << "failed";
    failure = error;
  });
  queue.Cancel(dropped);
  EXPECT_TRUE(order.isEmpty()) << "outcomes come from the event loop";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !queue.Busy(); }, 5000));
  EXPECT_EQ(order, QStringList({"first", "failed"}));
  EXPECT_THROW(std::rethrow_exception(failure), Error);
  EXPECT_EQ(aborts, 0);
}

// A running request that is cancelled is aborted, again and again until it ends.
TEST(RequestQueue, ACancelledRunningRequestIsAbortedUntilItEnds) {
  std::atomic<int> aborts = 0;
  std::atomic<bool> started = false;
  RequestQueue queue([&] { ++aborts; });
  bool reported = false;
  const RequestQueue::Id id = queue.Submit(
      [&] {
        started = true;
        // Ends only after the third abort, as a request whose first abort came too early.
        while (aborts < 3) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      },
      [&](std::exception_ptr) { reported = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return started.load(); }, 5000));
  queue.Cancel(id);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !queue.Busy() && aborts >= 3; }, 5000));
  QTest::qWait(100);
  EXPECT_FALSE(reported);
}

// The retry of a given-up load runs once after its delay, and not at all when cancelled.
TEST(RetryScheduler, RunsOnceAfterTheDelayUnlessCancelled) {
  const std::unique_ptr<RetryScheduler> scheduler = MakeTimerRetryScheduler();
  int runs = 0;
  scheduler->Schedule(std::chrono::milliseconds(30), [&] { ++runs; });
  EXPECT_TRUE(QTest::qWaitFor([&] { return runs == 1; }, 5000));
  QTest::qWait(100);
  EXPECT_EQ(runs, 1);

  scheduler->Schedule(std::chrono::milliseconds(30), [&] { ++runs; });
  scheduler->Cancel();
  QTest::qWait(150);
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace orvelle::test
