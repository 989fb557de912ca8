// Faults of the service while Orvelle plays: pictures that cannot be had, and an outage of the
// playlist that the program gives up on and recovers from.

#include "app_test_support.h"

#include "radio/picture_download.h"
#include "radio/song_loading.h"

namespace orvelle::test {
namespace {

TEST_F(OrvelleTest, PictureFaultsShowTheirBoxesWhileTheSongPlays) {
  struct Case {
    const char* kind;
    const char16_t* box;
  };
  for (const Case& c : {Case{"status", kConnectionFailedText}, Case{"empty", kEmptyPictureText}}) {
    SCOPED_TRACE(c.kind);
    Start(kOneSongChannel);
    DemoServiceEnvironment::AddFault(
        QStringLiteral(R"({"target":"picture","kind":"%1","count":3})").arg(QLatin1String(c.kind)).toStdString());
    ModalWatcher boxes;
    Click(main_window->nextButton);
    QStringList texts;
    for (const ModalWatcher::Box& box : boxes.Seen()) texts.append(box.text);
    EXPECT_EQ(texts, QStringList(3, QString::fromUtf16(c.box)));
    EXPECT_EQ(main_window->titleLabel->Caption(), state.CurrentSong.title);
    EXPECT_EQ(main_window->disc->Picture()->Graphic(), nullptr);
    EXPECT_EQ(state.IsPlaying, 1);
    EXPECT_TRUE(PositionAdvances(0.2));
    TearDown();
  }
}

TEST_F(OrvelleTest, AServiceOutageIsShownAndTheProgramRecovers) {
  Start(kOneSongChannel);
  DemoServiceEnvironment::AddFault(
      QStringLiteral(R"({"target":"playlist","kind":"status","count":%1})").arg(SongLoader::kMaxAttempts).toStdString());
  ModalWatcher boxes;
  Click(main_window->nextButton);
  EXPECT_EQ(main_window->titleLabel->Caption(), QString::fromUtf16(kNoStationText));
  EXPECT_FALSE(main_window->countdownTimer->Enabled());
  EXPECT_TRUE(boxes.Seen().isEmpty());
  // The next load comes by itself after the retry delay, and plays.
  const auto wait = SongLoader::kFirstRetryDelay.count() + 10000;
  ASSERT_TRUE(QTest::qWaitFor([&] { return main_window->titleLabel->Caption() == state.CurrentSong.title; }, wait));
  EXPECT_TRUE(main_window->countdownTimer->Enabled());
  EXPECT_EQ(state.IsPlaying, 1);
}

// A pause after a give-up holds the load that was to follow, as it holds the countdown: no song
// starts by itself while the button shows the play triangle. Resuming starts the countdown, which
// stands at zero and loads the next song at its first tick.
TEST_F(OrvelleTest, APauseAfterGivingUpHoldsTheNextLoadUntilTheListenerResumes) {
  Start(kOneSongChannel);
  DemoServiceEnvironment::AddFault(
      QStringLiteral(R"({"target":"playlist","kind":"status","count":%1})").arg(SongLoader::kMaxAttempts).toStdString());
  Click(main_window->nextButton);
  ASSERT_EQ(main_window->titleLabel->Caption(), QString::fromUtf16(kNoStationText));
  Click(main_window->playPauseButton);
  ASSERT_EQ(state.IsPlaying, 0);
  DemoServiceEnvironment::Reset();

  QTest::qWait(SongLoader::kFirstRetryDelay.count() + 2000);
  EXPECT_TRUE(DemoServiceEnvironment::Targets(QStringLiteral("/j/v2/playlist")).isEmpty());
  EXPECT_EQ(main_window->titleLabel->Caption(), QString::fromUtf16(kNoStationText));
  EXPECT_EQ(state.IsPlaying, 0);
  EXPECT_FALSE(main_window->countdownTimer->Enabled());
  EXPECT_EQ(Images(main_window->playPauseButton), kPlayTriangle);

  Click(main_window->playPauseButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return main_window->titleLabel->Caption() == state.CurrentSong.title; }, 5000));
  EXPECT_EQ(state.IsPlaying, 1);
  EXPECT_EQ(Images(main_window->playPauseButton), kPauseBars);
  EXPECT_TRUE(PositionAdvances(0.2));
}

}  // namespace
}  // namespace orvelle::test
