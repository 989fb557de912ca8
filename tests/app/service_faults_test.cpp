// Faults of the service while Orvelle plays: pictures that cannot be had, and an outage of the
// playlist that the program gives up on and recovers from.

#include "app_test_support.h"

#include "service/picture_download.h"
#include "service/song_loading.h"

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
    Click(form1->btn2);
    QStringList texts;
    for (const ModalWatcher::Box& box : boxes.Seen()) texts.append(box.text);
    EXPECT_EQ(texts, QStringList(3, QString::fromUtf16(c.box)));
    EXPECT_EQ(form1->sclbl1->Caption(), state.CurrentSong.title);
    EXPECT_EQ(form1->img3->Picture()->Graphic(), nullptr);
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
  Click(form1->btn2);
  EXPECT_EQ(form1->sclbl1->Caption(), QString::fromUtf16(kNoStationText));
  EXPECT_FALSE(form1->tmr1->Enabled());
  EXPECT_TRUE(boxes.Seen().isEmpty());
  // The next load comes by itself after the retry delay, and plays.
  const auto wait = SongLoader::kFirstRetryDelay.count() + 10000;
  ASSERT_TRUE(QTest::qWaitFor([&] { return form1->sclbl1->Caption() == state.CurrentSong.title; }, wait));
  EXPECT_TRUE(form1->tmr1->Enabled());
  EXPECT_EQ(state.IsPlaying, 1);
}

// A pause after a give-up holds the load that was to follow, as it holds the countdown: no song
// starts by itself while the button shows the play triangle. Resuming starts the countdown, which
// stands at zero and loads the next song at its first tick.
TEST_F(OrvelleTest, APauseAfterGivingUpHoldsTheNextLoadUntilTheListenerResumes) {
  Start(kOneSongChannel);
  DemoServiceEnvironment::AddFault(
      QStringLiteral(R"({"target":"playlist","kind":"status","count":%1})").arg(SongLoader::kMaxAttempts).toStdString());
  Click(form1->btn2);
  ASSERT_EQ(form1->sclbl1->Caption(), QString::fromUtf16(kNoStationText));
  Click(form1->btn3);
  ASSERT_EQ(state.IsPlaying, 0);
  DemoServiceEnvironment::Reset();

  QTest::qWait(SongLoader::kFirstRetryDelay.count() + 2000);
  EXPECT_TRUE(DemoServiceEnvironment::Targets(QStringLiteral("/j/v2/playlist")).isEmpty());
  EXPECT_EQ(form1->sclbl1->Caption(), QString::fromUtf16(kNoStationText));
  EXPECT_EQ(state.IsPlaying, 0);
  EXPECT_FALSE(form1->tmr1->Enabled());
  EXPECT_EQ(Images(form1->btn3), kPlayTriangle);

  Click(form1->btn3);
  ASSERT_TRUE(QTest::qWaitFor([&] { return form1->sclbl1->Caption() == state.CurrentSong.title; }, 5000));
  EXPECT_EQ(state.IsPlaying, 1);
  EXPECT_EQ(Images(form1->btn3), kPauseBars);
  EXPECT_TRUE(PositionAdvances(0.2));
}

}  // namespace
}  // namespace orvelle::test
