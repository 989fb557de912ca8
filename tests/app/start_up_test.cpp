// Start-up, the first song, the notice window and closing.

#include "app_test_support.h"
#include "service/error.h"
#include "toolkit/application.h"

#include <QAccessible>

namespace orvelle::test {
namespace {

testing::Environment* const demo_service = testing::AddGlobalTestEnvironment(new DemoServiceEnvironment);

QString CountdownText(int seconds) { return QString::asprintf("- %d :%.2d", seconds / 60, seconds % 60); }

TEST_F(OrvelleTest, FirstShowPlaysTheFirstSongOfTheDefaultChannel) {
  Start();
  const QStringList playlist = DemoServiceEnvironment::Targets(QStringLiteral("/j/v2/playlist"));
  ASSERT_FALSE(playlist.isEmpty());
  EXPECT_TRUE(playlist.first().startsWith(QStringLiteral("/j/v2/playlist?channel=-10&"))) << playlist.first().toStdString();

  // The caption follows the song (task bars and screen readers show it).
  EXPECT_EQ(main_window->Caption(), state().song.title + QStringLiteral(" – ") + state().song.singer_name);
  EXPECT_EQ(main_window->size(), QSize(649, 266));
  EXPECT_FALSE(notice_window->isVisible());
  EXPECT_FALSE(state().song.title.isEmpty());
  EXPECT_EQ(main_window->titleLabel->Caption(), state().song.title);
  EXPECT_EQ(main_window->singerLabel->Caption(), state().song.singer_name);
  const int length = state().song.length.toInt();
  EXPECT_EQ(main_window->remainingTimeLabel->Caption(), CountdownText(state().remaining_seconds));
  EXPECT_EQ(main_window->songProgress->MaxValue(), length);
  EXPECT_EQ(main_window->songProgress->MinValue(), 0);
  EXPECT_EQ(main_window->songProgress->Value(), length - state().remaining_seconds);
  // The layout's picture and captions never show: the disc holds the song's cover.
  ASSERT_NE(main_window->disc->Picture()->Graphic(), nullptr);
  EXPECT_EQ(main_window->disc->Picture()->Graphic()->ToImage(), main_window->coverHolder->Picture());
  EXPECT_TRUE(main_window->disc->RotateAnimation());
  EXPECT_TRUE(main_window->Radio().CountdownRunning());
  // The slider runs to the player's volume plus 100; the focus sink is out of sight, and the
  // keyboard starts on the play/pause button, where every key of the window works.
  EXPECT_EQ(main_window->volumeSlider->MaxValue(), player->Volume() + 100);
  EXPECT_FALSE(main_window->volumeSlider->isVisible());
  EXPECT_EQ(main_window->focusSink->Top(), -2000);
  EXPECT_TRUE(Focused(main_window->playPauseButton));
  EXPECT_FALSE(main_window->lyricsPanel->Opened());
  EXPECT_TRUE(PositionAdvances(player->PositionSeconds()));
}

// Song titles and singer names are shown as they are: an ampersand is no access-key marker.
TEST_F(OrvelleTest, AnAmpersandInATitleIsShownAsItself) {
  Create();
  for (TscLabel* label : {main_window->titleLabel, main_window->singerLabel}) {
    label->SetCaption(QStringLiteral("RB"));
    const int without = label->width();
    label->SetCaption(QStringLiteral("R&B"));
    EXPECT_GT(label->width(), without) << label->objectName().toStdString();
  }
}

// A title or singer too long for the room left of the disc is cut before it, whole in the
// tooltip and for assistive technology; the window cannot be widened to show more.
TEST_F(OrvelleTest, ALongTitleOrSingerIsCutBeforeTheDisc) {
  Create();
  const QString whole = QStringLiteral("The Longest Road Home Runs Through Every Town We Ever Swore We Would Never See");
  for (TscLabel* label : {main_window->titleLabel, main_window->singerLabel}) {
    label->SetCaption(whole);
    EXPECT_LT(label->geometry().right(), main_window->disc->x()) << label->objectName().toStdString();
    EXPECT_TRUE(label->CaptionCut());
    EXPECT_EQ(label->toolTip(), whole);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name), whole);
  }
}

TEST_F(OrvelleTest, APlayerThatCannotBeCreatedShowsItsErrorAndTheWindowStaysBlank) {
  Create([]() -> std::unique_ptr<MediaPlayer> { throw Error(QStringLiteral("Class not registered")); });
  ModalWatcher boxes;
  main_window->SetVisible(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.Seen().isEmpty(); }, 5000));
  EXPECT_EQ(boxes.Seen().first().text, QStringLiteral("Class not registered."));
  EXPECT_EQ(boxes.Seen().first().icon, QMessageBox::Critical);
  // The rest of the first show did not run: no load, the stored captions and range stay.
  EXPECT_EQ(main_window->titleLabel->Caption(), QStringLiteral("titleLabel"));
  EXPECT_EQ(main_window->volumeSlider->MaxValue(), 200);
  EXPECT_TRUE(DemoServiceEnvironment::Targets(QStringLiteral("/j/v2/playlist")).isEmpty());
  // Closing without a player shows nothing.
  main_window->close();
  QTest::qWait(100);
  EXPECT_EQ(boxes.Seen().size(), 1);
  EXPECT_FALSE(main_window->isVisible());
}

TEST_F(OrvelleTest, TheHelpButtonShowsTheOneNoticeWindowAndGivesTheFocusBack) {
  Start(kOneSongChannel);
  Click(main_window->noticeButton);
  EXPECT_TRUE(notice_window->isVisible());
  EXPECT_TRUE(Focused(main_window->focusSink));
  EXPECT_EQ(notice_window->Caption(), QStringLiteral("声明"));
  EXPECT_EQ(notice_window->size(), QSize(551, 241));
  // The leading empty line is shown as room above the text, so the caret starts on words.
  EXPECT_EQ(notice_window->noticeText->Lines(),
            QStringList({"本软件为交流学习经验实验之用，歌曲及其他相关内容来自 \u201c Kestra",
                         "FM \u201d ，如果您喜欢软件中的歌曲，", "", "请支持\u201cKestraFM\u201d", "",
                         "本软件只限 \u201cTolvane\u201d 网站 网友交流学习之用，请勿传播！"}));
  EXPECT_TRUE(notice_window->noticeText->ReadOnly());

  notice_window->close();  // hides it; the same window comes back
  EXPECT_FALSE(notice_window->isVisible());
  Click(main_window->noticeButton);
  Click(main_window->noticeButton);
  EXPECT_TRUE(notice_window->isVisible());
  int notice_windows = 0;
  for (QWidget* window : QApplication::topLevelWidgets()) notice_windows += qobject_cast<NoticeWindow*>(window) ? 1 : 0;
  EXPECT_EQ(notice_windows, 1);
}

TEST_F(OrvelleTest, ClosingWhileASongPlaysStopsTheAudioWithoutAsking) {
  Start(kOneSongChannel);
  ASSERT_TRUE(PositionAdvances(0));
  ModalWatcher boxes;
  main_window->close();
  EXPECT_FALSE(main_window->isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return player->PositionSeconds() == 0; }, 5000));
  EXPECT_TRUE(boxes.Seen().isEmpty());
}

// Closing the main window ends the event loop; a load waiting for the service then ends at once,
// quietly, whether it is the first show's load or a later one.
TEST_F(OrvelleTest, ClosingWhileALoadWaitsEndsTheProgramAtOnce) {
  for (const bool first_load : {true, false}) {
    SCOPED_TRACE(first_load ? "first load" : "skip");
    if (first_load) {
      Create();
    } else {
      Start(kOneSongChannel);
    }
    DemoServiceEnvironment::AddFault(R"({"target":"playlist","kind":"delay","delay_ms":8000})");
    const quint64 songs_before = first_load ? 0 : state().song_number;
    ModalWatcher boxes;
    if (!first_load) QTimer::singleShot(0, main_window, [this] { Click(main_window->nextButton); });
    QTimer::singleShot(500, main_window, [this] { main_window->close(); });
    QElapsedTimer clock;
    clock.start();
    Application::Run();
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_FALSE(main_window->isVisible());
    EXPECT_TRUE(boxes.Seen().isEmpty());
    // The load stopped at its request: no song of its own was shown or played.
    EXPECT_EQ(state().song_number, songs_before);
    if (first_load) {
      EXPECT_FALSE(state().audio_playing);
      EXPECT_TRUE(main_window->titleLabel->Caption().isEmpty());
    }
    TearDown();
  }
}

}  // namespace
}  // namespace orvelle::test
