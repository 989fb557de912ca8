// The lyrics panel: lyrics fetched when it has opened and after a skip while open, the toggles,
// and the font size buttons.

#include "app_test_support.h"

#include "radio/lyrics_request.h"

#include <QAccessible>
#include <QFile>
#include <QTemporaryDir>

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

// A failed request says so, apart from "无歌词"; a click on that text, or opening the panel again,
// asks once more. A click on lyrics that came asks for nothing.
TEST_F(OrvelleTest, FailedLyricsSaySoAndAClickOrReopeningThePanelTriesAgain) {
  Start(kOneSongChannel);
  const QString failed = QString::fromUtf16(kLyricsFailedText);
  const auto requests = [&] { return LyricRequestsFor(state().song.sid).size(); };
  QWidget* text_area = main_window->lyricsText->Editor()->viewport();
  DemoServiceEnvironment::AddFault(R"({"target":"lyric","kind":"status","count":2})");
  Click(main_window->lyricsButton);
  ASSERT_TRUE(OpenedWithin(main_window));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Lyrics() == failed; }, 5000)) << Lyrics().toStdString();

  QTest::mouseClick(text_area, Qt::LeftButton, {}, text_area->rect().center());
  EXPECT_TRUE(QTest::qWaitFor([&] { return requests() == 2; }, 5000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Lyrics() == failed; }, 5000)) << Lyrics().toStdString();

  Click(main_window->lyricsCloseButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return main_window->lyricsPanel->width() == 0; }, 5000));
  Click(main_window->lyricsButton);
  ASSERT_TRUE(OpenedWithin(main_window));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Lyrics().isEmpty() && Lyrics() != failed; }, 5000));
  EXPECT_NE(Lyrics(), QString::fromUtf16(kNoLyricsText));
  EXPECT_EQ(requests(), 3);

  QTest::mouseClick(text_area, Qt::LeftButton, {}, text_area->rect().center());
  QTest::qWait(500);
  EXPECT_EQ(requests(), 3);
}

bool AccessiblyDisabled(QWidget* button) { return QAccessible::queryAccessibleInterface(button)->state().disabled; }

// The size comes back from the last run; the buttons stop at 8 and 40 pixels, disabled there for
// the pointer and for assistive technology, and the size reached is remembered.
TEST_F(OrvelleTest, TheFontButtonsStopAtTheBoundsAndTheSizeIsRemembered) {
  QTemporaryDir config;
  const QString path = config.filePath("orvelle.conf");
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("lyrics_size=37\n");
  }
  auto remembered = std::make_unique<ListenerSettings>(path);
  settings = remembered.get();
  Start(kOneSongChannel);
  Click(main_window->lyricsButton);  // the buttons lie on the panel
  ASSERT_TRUE(OpenedWithin(main_window));
  const Font* font = main_window->lyricsText->GetFont();
  TscGPButton* larger = main_window->fontLargerButton;
  TscGPButton* smaller = main_window->fontSmallerButton;
  EXPECT_EQ(font->Height(), 37);

  Click(larger);
  EXPECT_EQ(font->Height(), 40);
  EXPECT_FALSE(larger->isEnabled());
  EXPECT_TRUE(AccessiblyDisabled(larger));
  Click(larger);
  EXPECT_EQ(font->Height(), 40);

  for (int press = 0; press < 20; ++press) Click(smaller);
  EXPECT_EQ(font->Height(), 8);
  EXPECT_FALSE(smaller->isEnabled());
  EXPECT_TRUE(AccessiblyDisabled(smaller));
  EXPECT_TRUE(larger->isEnabled());
  EXPECT_FALSE(AccessiblyDisabled(larger));
  Click(larger);
  EXPECT_EQ(font->Height(), 11) << "one press up from the bottom, however often the bottom was pressed";
  EXPECT_TRUE(smaller->isEnabled());

  TearDown();
  remembered.reset();
  EXPECT_EQ(ListenerSettings(path).LyricsSize(), 11);
}

}  // namespace
}  // namespace orvelle::test
