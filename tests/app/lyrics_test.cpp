// The lyrics panel: lyrics fetched when it has opened and after a skip while open, the toggles,
// and the font size buttons.

#include "app_test_support.h"

#include "radio/lyrics_request.h"

namespace orvelle::test {
namespace {

bool OpenedWithin(MainWindow* form, int ms = 5000) {
  return QTest::qWaitFor([&] { return form->lyricsPanel->Opened(); }, ms);
}

QStringList LyricRequestsFor(const QString& sid) {
  return DemoServiceEnvironment::Targets(QStringLiteral("/j/v2/lyric?sid=%1&").arg(sid));
}

TEST_F(OrvelleTest, OpeningThePanelFetchesTheLyricsEveryTime) {
  Start(kOneSongChannel);
  Click(main_window->lyricsButton);
  EXPECT_TRUE(Focused(main_window->focusSink));
  ASSERT_TRUE(OpenedWithin(main_window));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Lyrics().isEmpty(); }, 5000));
  EXPECT_NE(Lyrics(), QString::fromUtf16(kNoLyricsText));
  EXPECT_EQ(LyricRequestsFor(state().song.sid).size(), 1);

  Click(main_window->lyricsCloseButton);  // closes; the text stays
  ASSERT_TRUE(QTest::qWaitFor([&] { return main_window->lyricsPanel->width() == 0; }, 5000));
  EXPECT_FALSE(Lyrics().isEmpty());
  Click(main_window->lyricsButton);
  ASSERT_TRUE(OpenedWithin(main_window));
  EXPECT_TRUE(QTest::qWaitFor([&] { return LyricRequestsFor(state().song.sid).size() == 2; }, 5000));
}

TEST_F(OrvelleTest, ASkipWhileThePanelIsOpenBringsTheNextSongsLyrics) {
  Start();
  Click(main_window->lyricsButton);
  ASSERT_TRUE(OpenedWithin(main_window));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Lyrics().isEmpty(); }, 5000));
  const QString first_lyrics = Lyrics();
  Skip();
  EXPECT_TRUE(QTest::qWaitFor([&] { return LyricRequestsFor(state().song.sid).size() == 1; }, 5000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Lyrics().isEmpty(); }, 5000));
  EXPECT_NE(Lyrics(), first_lyrics);
}

// The lyrics asked for before a skip come too late: the panel shows the next song's lyrics only.
TEST_F(OrvelleTest, LyricsAskedForBeforeASkipAreDropped) {
  Start();
  DemoServiceEnvironment::AddFault(R"({"target":"lyric","kind":"delay","delay_ms":1500})");
  Click(main_window->lyricsButton);
  ASSERT_TRUE(OpenedWithin(main_window));
  const QString first_sid = state().song.sid;
  Skip();
  ASSERT_NE(state().song.sid, first_sid);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Lyrics().isEmpty(); }, 5000));
  const QString next_lyrics = Lyrics();
  QTest::qWait(2000);
  EXPECT_EQ(Lyrics(), next_lyrics);
  EXPECT_EQ(LyricRequestsFor(state().song.sid).size(), 1);
}

// A song that comes by the countdown while the panel is open brings its own lyrics.
TEST_F(OrvelleTest, TheOpenPanelFollowsASongLoadedByTheCountdown) {
  ShortSongService service(3, 1);
  Start(kOneSongChannel);
  Click(main_window->lyricsButton);
  ASSERT_TRUE(OpenedWithin(main_window));
  ASSERT_TRUE(QTest::qWaitFor([&] { return LyricRequestsFor(state().song.sid).size() == 1; }, 5000));
  // The three seconds run out, and the next tick loads the next song.
  EXPECT_TRUE(QTest::qWaitFor([&] { return LyricRequestsFor(state().song.sid).size() == 2; }, 10000));
}

TEST_F(OrvelleTest, ASecondClickWhileThePanelOpensLeavesItOpening) {
  Start(kOneSongChannel);
  Click(main_window->lyricsButton);
  Click(main_window->lyricsButton);
  EXPECT_TRUE(OpenedWithin(main_window));
}

TEST_F(OrvelleTest, TheFontButtonsCountOnBelowZeroWhileTheViewDrawsAtLeastOnePoint) {
  Start(kOneSongChannel);
  Click(main_window->lyricsButton);  // the buttons lie on the panel
  ASSERT_TRUE(OpenedWithin(main_window));
  const Font* font = main_window->lyricsText->GetFont();
  ASSERT_EQ(font->Size(), 8);
  struct Step {
    TscGPButton* button;
    int drawn_points;
  };
  TscGPButton* larger = main_window->fontLargerButton;
  TscGPButton* smaller = main_window->fontSmallerButton;
  // 8 -> 10 -> 12, then down to 0 and -2 (drawn at 1 point), and up again from -2.
  const Step steps[] = {{larger, 10}, {larger, 12}, {smaller, 10}, {smaller, 8}, {smaller, 6}, {smaller, 4},
                        {smaller, 2}, {smaller, 1}, {smaller, 1}, {larger, 1}, {larger, 2}};
  int index = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(index++);
    Click(step.button);
    EXPECT_EQ(font->Size(), step.drawn_points);
  }
}

}  // namespace
}  // namespace orvelle::test
