// The playback cycle: countdown, pause and resume, skip, the channel choice, and the disc's
// click and hover rules.

#include "app_test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <chrono>
#include <thread>

namespace orvelle::test {
namespace {


QImage DiscImage(const MainWindow* form) {
  const Graphic* graphic = form->disc->Picture()->Graphic();
  return graphic ? graphic->ToImage() : QImage();
}

TEST_F(OrvelleTest, EveryTickCountsDownAndStepsTheProgressBar) {
  Start(kOneSongChannel);
  const int before = state().remaining_seconds;
  ASSERT_TRUE(QTest::qWaitFor([&] { return state().remaining_seconds == before - 1; }, 2500));
  EXPECT_EQ(main_window->remainingTimeLabel->Caption(), QString::asprintf("- 0 :%.2d", before - 1));
  EXPECT_EQ(main_window->songProgress->Value(), kOneSongLength - (before - 1));
}

TEST_F(OrvelleTest, ASongOfLengthOneOrZeroEndsAtTheNextTick) {
  struct Case {
    int length;
    const char* shown_after_load;
  };
  for (const Case& c : {Case{1, "- 0 :00"}, Case{0, "- 0 :-01"}}) {
    SCOPED_TRACE(c.length);
    ShortSongService service(c.length, 1);
    Start(kOneSongChannel);
    EXPECT_EQ(main_window->remainingTimeLabel->Caption(), QString::fromLatin1(c.shown_after_load));
    EXPECT_EQ(main_window->songProgress->MaxValue(), c.length);
    EXPECT_EQ(service.PlaylistRequests(), 1);
    // The next tick loads the next song, which has the demo service's length again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.PlaylistRequests() == 2; }, 2500));
    ASSERT_TRUE(QTest::qWaitFor([&] { return main_window->songProgress->MaxValue() == kOneSongLength; }, 5000));
    TearDown();
  }
}

// Minimised or hidden, the window does not wake every second for a count nobody sees: the timer
// wakes at the song's end, and the count is right whenever it is read, seen again or paused.
TEST_F(OrvelleTest, UnseenTheCountdownWakesOnlyAtTheSongsEndAndStaysRight) {
  ShortSongService service(6, 1);
  Start(kOneSongChannel);
  const orvelle::Radio& radio = main_window->Radio();
  const int period = radio.CountdownWakeInterval();
  main_window->hide();
  const int hidden_at = state().remaining_seconds;
  EXPECT_GT(radio.CountdownWakeInterval(), (hidden_at - 1) * period) << "one wake-up, at the run-out";

  // Read (as the desktop reads the position), the count has gone on by the seconds passed.
  QTest::qWait(2 * period + period / 2);
  const int read = main_window->State().remaining_seconds;
  EXPECT_GE(read, hidden_at - 3);
  EXPECT_LE(read, hidden_at - 2);
  EXPECT_EQ(service.PlaylistRequests(), 1);

  // Paused and seen again, the count stands where it was, shown, and the timer's period is back.
  main_window->PlayPause();
  const int paused_at = state().remaining_seconds;
  main_window->SetVisible(true);
  EXPECT_EQ(main_window->remainingTimeLabel->Caption(), QString::asprintf("- 0 :%.2d", paused_at));
  main_window->PlayPause();
  EXPECT_EQ(radio.CountdownWakeInterval(), period) << "playing again counts whole seconds from now";
  ASSERT_TRUE(QTest::qWaitFor([&] { return state().remaining_seconds == paused_at - 1; }, 2 * period));

  // Hidden again, the song runs out unseen and the next one loads on time.
  main_window->hide();
  const auto hidden = std::chrono::steady_clock::now();
  const int left = state().remaining_seconds;
  ASSERT_TRUE(QTest::qWaitFor([&] { return service.PlaylistRequests() == 2; }, (left + 3) * period));
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - hidden);
  EXPECT_GE(took.count(), left * period) << "not before the song ran out";
  ASSERT_TRUE(LoadEnds());
  EXPECT_GE(state().remaining_seconds, kOneSongLength - 2);
  EXPECT_GT(radio.CountdownWakeInterval(), (kOneSongLength - 3) * period) << "the new song's run-out is the next wake-up";
}

TEST_F(OrvelleTest, PauseHoldsAudioCountdownAndDiscAndResumeGoesOn) {
  Start(kOneSongChannel);
  ASSERT_TRUE(PositionAdvances(0.3));
  Click(main_window->playPauseButton);
  EXPECT_FALSE(state().audio_playing);
  EXPECT_FALSE(main_window->Radio().CountdownRunning());
  EXPECT_FALSE(main_window->disc->RotateAnimation());
  EXPECT_EQ(main_window->disc->RotationAngle(), 0);
  EXPECT_EQ(Images(main_window->playPauseButton), kPlayTriangle);
  EXPECT_TRUE(Focused(main_window->focusSink));
  QTest::qWait(300);  // the pause reaches the audio
  const double held_at = player->PositionSeconds();
  const int remaining = state().remaining_seconds;
  const int progress = main_window->songProgress->Value();
  QTest::qWait(1300);
  EXPECT_NEAR(player->PositionSeconds(), held_at, 0.05);
  EXPECT_EQ(state().remaining_seconds, remaining);
  EXPECT_EQ(main_window->songProgress->Value(), progress);

  Click(main_window->playPauseButton);
  EXPECT_TRUE(state().audio_playing);
  EXPECT_TRUE(main_window->Radio().CountdownRunning());
  EXPECT_TRUE(main_window->disc->RotateAnimation());
  EXPECT_EQ(Images(main_window->playPauseButton), kPauseBars);
  EXPECT_EQ(DiscImage(main_window), main_window->coverHolder->Picture());
  EXPECT_TRUE(PositionAdvances(held_at));
  EXPECT_TRUE(QTest::qWaitFor([&] { return state().remaining_seconds < remaining; }, 2500));
}

// A skip plays the next song, also after a pause, and the button then offers the pause: it shows
// what a click does.
TEST_F(OrvelleTest, SkipPlaysTheNextSongAndTheButtonOffersThePause) {
  for (const bool paused_first : {false, true}) {
    SCOPED_TRACE(paused_first);
    Start();
    if (paused_first) Click(main_window->playPauseButton);
    const QString sid = state().song.sid;
    DemoServiceEnvironment::Reset();
    Skip();
    EXPECT_NE(state().song.sid, sid);
    EXPECT_EQ(main_window->titleLabel->Caption(), state().song.title);
    EXPECT_TRUE(state().audio_playing);
    EXPECT_TRUE(main_window->Radio().CountdownRunning());
    EXPECT_TRUE(main_window->disc->RotateAnimation());
    EXPECT_EQ(Images(main_window->playPauseButton), kPauseBars);
    // The lyrics panel is closed: its text is emptied and no lyrics are asked for.
    EXPECT_TRUE(Lyrics().isEmpty());
    EXPECT_TRUE(DemoServiceEnvironment::Targets(QStringLiteral("/j/v2/lyric")).isEmpty());
    EXPECT_TRUE(PositionAdvances(0.2));
    Click(main_window->playPauseButton);  // the first click after the skip pauses
    EXPECT_FALSE(state().audio_playing);
    EXPECT_EQ(Images(main_window->playPauseButton), kPlayTriangle);
    TearDown();
  }
}

TEST_F(OrvelleTest, AChannelChangeAffectsOnlyTheNextLoad) {
  Start(kOneSongChannel);
  const QString sid = state().song.sid;
  DemoServiceEnvironment::Reset();
  main_window->channelList->setProperty("ItemIndex", 10);  // 韩语, channel 18
  EXPECT_EQ(state().channel_id, QStringLiteral("18"));
  EXPECT_EQ(state().song.sid, sid);
  EXPECT_TRUE(DemoServiceEnvironment::Targets(QStringLiteral("/j/v2/playlist")).isEmpty());
  Skip();
  const QStringList playlist = DemoServiceEnvironment::Targets(QStringLiteral("/j/v2/playlist"));
  ASSERT_FALSE(playlist.isEmpty());
  EXPECT_TRUE(playlist.first().startsWith(QStringLiteral("/j/v2/playlist?channel=18&")));

  main_window->channelList->setProperty("ItemIndex", 21);  // the blank row
  EXPECT_EQ(state().channel_id, QString());
}

TEST_F(OrvelleTest, HoveringTheLabelsShowsTheirPicturesStillAndLeavingShowsTheCover) {
  Start(kOneSongChannel);
  ASSERT_NE(main_window->singerPictureHolder->Picture(), main_window->coverHolder->Picture());
  Enter(main_window->singerLabel);
  EXPECT_EQ(DiscImage(main_window), main_window->singerPictureHolder->Picture());
  EXPECT_FALSE(main_window->disc->RotateAnimation());
  EXPECT_EQ(main_window->disc->RotationAngle(), 0);
  Leave(main_window->singerLabel);
  EXPECT_EQ(DiscImage(main_window), main_window->coverHolder->Picture());
  EXPECT_TRUE(main_window->disc->RotateAnimation());

  Enter(main_window->titleLabel);
  EXPECT_EQ(DiscImage(main_window), main_window->coverHolder->Picture());
  EXPECT_FALSE(main_window->disc->RotateAnimation());
  Click(main_window->playPauseButton);  // paused: leaving shows the cover upright and still
  Leave(main_window->titleLabel);
  EXPECT_FALSE(main_window->disc->RotateAnimation());
  EXPECT_EQ(main_window->disc->RotationAngle(), 0);
  EXPECT_EQ(DiscImage(main_window), main_window->coverHolder->Picture());
}

TEST_F(OrvelleTest, ClickingTheDiscStopsItsTurningWhileTheSongPlaysOn) {
  Start(kOneSongChannel);
  QTest::qWait(200);  // the disc has turned
  Click(main_window->disc);
  EXPECT_FALSE(main_window->disc->RotateAnimation());
  EXPECT_EQ(main_window->disc->RotationAngle(), 0);
  EXPECT_TRUE(state().audio_playing);
  EXPECT_TRUE(main_window->Radio().CountdownRunning());
  EXPECT_TRUE(PositionAdvances(player->PositionSeconds()));
}

}  // namespace
}  // namespace orvelle::test
