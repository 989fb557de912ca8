// Faults of the service while Orvelle plays: pictures that cannot be had, an outage of the
// playlist that the program gives up on and recovers from, and answers that come late.

#include "app_test_support.h"

#include "radio/picture_download.h"
#include "toolkit/message_box.h"

namespace orvelle::test {
namespace {

// A picture that cannot be had shows its box, and the skip's song is shown and plays all the same:
// the window, the desktop and the player name the same song.
TEST_F(OrvelleTest, PictureFaultsShowTheirBoxWhileTheSongPlays) {
  struct Case {
    const char* fault;
    QString box;
  };
  const Case cases[] = {
      {R"({"target":"picture","kind":"status","count":2})", QString::fromUtf16(kConnectionFailedText)},
      {R"({"target":"picture","kind":"empty","count":2})", QString::fromUtf16(kEmptyPictureText)},
      {R"({"target":"picture","kind":"garbage","match":"/covers/"})", QStringLiteral("Unsupported stream format.")},
      {R"({"target":"picture","kind":"one_byte","match":"/covers/"})", QStringLiteral("Stream read error.")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    Start(kOneSongChannel);
    const quint64 first_song = state().song_number;
    DemoServiceEnvironment::AddFault(c.fault);
    // The listener leaves the box open: the load goes on, and a second box is not shown.
    ModalWatcher boxes([&] { return !main_window->LoadUnderWay(); });
    Skip();
    ASSERT_TRUE(QTest::qWaitFor([] { return !MessageBoxOpen(); }, 5000));
    QStringList texts;
    for (const ModalWatcher::Box& box : boxes.Seen()) texts.append(box.text);
    EXPECT_EQ(texts, QStringList{c.box});
    EXPECT_EQ(state().song_number, first_song + 1) << "the skip's song is shown";
    EXPECT_EQ(main_window->titleLabel->Caption(), state().song.title);
    EXPECT_EQ(main_window->disc->Picture()->Graphic(), nullptr);
    EXPECT_TRUE(state().audio_playing);
    EXPECT_TRUE(PositionAdvances(0.2));
    TearDown();
  }
}

// After five failed attempts the window says so: the reason fits its label, a live count says when
// the next try comes, the disc stands still, the progress bar is empty and the button shows the
// play image; the next load comes by itself and plays.
TEST_F(OrvelleTest, AServiceOutageIsShownAndTheProgramRecovers) {
  Start(kOneSongChannel);
  DemoServiceEnvironment::AddFault(
      QStringLiteral(R"({"target":"playlist","kind":"status","count":%1})").arg(Radio::kMaxAttempts).toStdString());
  ModalWatcher boxes;
  Skip();
  EXPECT_EQ(main_window->titleLabel->Caption(), QString::fromUtf16(kNoStationText));
  const TscLabel* reason = main_window->singerLabel;
  EXPECT_TRUE(reason->Caption().startsWith(QStringLiteral("服务器错误 500"))) << reason->Caption().toStdString();
  EXPECT_TRUE(reason->Caption().endsWith(QStringLiteral("空格重试"))) << "a hint that the listener may try at once";
  EXPECT_LT(reason->geometry().right(), main_window->disc->x()) << "the reason runs under the disc";
  EXPECT_EQ(main_window->songProgress->Value(), 0) << "no song is under way";
  EXPECT_FALSE(main_window->Radio().CountdownRunning());
  EXPECT_FALSE(main_window->disc->RotateAnimation());
  EXPECT_EQ(Images(main_window->playPauseButton), kPlayTriangle);
  EXPECT_FALSE(state().audio_playing);
  EXPECT_TRUE(boxes.Seen().isEmpty());
  const QString count = main_window->remainingTimeLabel->Caption();
  EXPECT_TRUE(count.endsWith(QStringLiteral(" 秒后重试"))) << count.toStdString();
  EXPECT_LT(main_window->remainingTimeLabel->geometry().right(), main_window->muteButton->x());
  ASSERT_TRUE(QTest::qWaitFor([&] { return main_window->remainingTimeLabel->Caption() != count; }, 1500))
      << "the count is live";
  // The next load comes by itself after the retry delay (5 s and some jitter), and plays.
  const int wait = 6000 + 10000;
  ASSERT_TRUE(QTest::qWaitFor([&] { return main_window->titleLabel->Caption() == state().song.title; }, wait));
  EXPECT_TRUE(main_window->Radio().CountdownRunning());
  EXPECT_TRUE(state().audio_playing);
  EXPECT_EQ(Images(main_window->playPauseButton), kPauseBars);
  EXPECT_TRUE(main_window->disc->RotateAnimation());
}

// After a give-up the button shows the play image; a click on it tries the next load at once.
TEST_F(OrvelleTest, AClickOnPlayAfterAGiveUpLoadsAtOnce) {
  Start(kOneSongChannel);
  DemoServiceEnvironment::AddFault(
      QStringLiteral(R"({"target":"playlist","kind":"status","count":%1})").arg(Radio::kMaxAttempts).toStdString());
  Skip();
  ASSERT_EQ(main_window->titleLabel->Caption(), QString::fromUtf16(kNoStationText));
  DemoServiceEnvironment::Reset();
  Click(main_window->playPauseButton);
  EXPECT_EQ(Images(main_window->playPauseButton), kPauseBars);
  ASSERT_TRUE(LoadEnds(5000));
  EXPECT_EQ(main_window->titleLabel->Caption(), state().song.title);
  EXPECT_TRUE(state().audio_playing);
  EXPECT_EQ(DemoServiceEnvironment::Targets(QStringLiteral("/j/v2/playlist")).size(), 1);
  EXPECT_TRUE(PositionAdvances(0.2));
}

// A pause while the next song is on its way applies at once; the song is shown when it comes
// but waits for the listener, and plays on the next click.
TEST_F(OrvelleTest, APauseDuringALoadHoldsTheSongThatComes) {
  Start();
  const QString first_sid = state().song.sid;
  DemoServiceEnvironment::AddFault(R"({"target":"playlist","kind":"delay","delay_ms":1500})");
  Click(main_window->nextButton);
  ASSERT_TRUE(main_window->LoadUnderWay());
  Click(main_window->playPauseButton);
  EXPECT_FALSE(state().audio_playing);
  EXPECT_EQ(Images(main_window->playPauseButton), kPlayTriangle);
  EXPECT_FALSE(main_window->Radio().CountdownRunning());
  ASSERT_TRUE(LoadEnds());
  EXPECT_NE(state().song.sid, first_sid);
  EXPECT_EQ(main_window->titleLabel->Caption(), state().song.title);
  EXPECT_FALSE(state().audio_playing);
  EXPECT_FALSE(main_window->Radio().CountdownRunning());
  EXPECT_FALSE(main_window->disc->RotateAnimation());
  EXPECT_EQ(Images(main_window->playPauseButton), kPlayTriangle);
  QTest::qWait(300);
  EXPECT_NEAR(player->PositionSeconds(), 0, 0.05);

  Click(main_window->playPauseButton);
  EXPECT_TRUE(state().audio_playing);
  EXPECT_TRUE(PositionAdvances(0.2));
}

// The window shows at once; until the first song comes the labels are empty, the disc still and
// the progress bar empty, and after a second without an answer the title says the service is
// being reached.
TEST_F(OrvelleTest, TheWindowSaysItIsConnectingWhileTheFirstAnswerIsLate) {
  Create();
  DemoServiceEnvironment::AddFault(R"({"target":"playlist","kind":"delay","delay_ms":2500})");
  main_window->SetVisible(true);
  QTest::qWait(300);
  EXPECT_TRUE(main_window->LoadUnderWay());
  EXPECT_TRUE(main_window->titleLabel->Caption().isEmpty());
  EXPECT_FALSE(main_window->disc->RotateAnimation());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !main_window->titleLabel->Caption().isEmpty(); }, 2000));
  EXPECT_EQ(main_window->titleLabel->Caption(), QStringLiteral("正在连接…"));
  EXPECT_EQ(main_window->singerLabel->Caption(), DemoServiceEnvironment::Base());
  EXPECT_EQ(main_window->songProgress->Value(), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return state().audio_playing; }, 10000));
  EXPECT_EQ(main_window->titleLabel->Caption(), state().song.title);
}

}  // namespace
}  // namespace orvelle::test
