// Start-up, the first song, the notice window and closing.

#include "app_test_support.h"
#include "service/error.h"
#include "toolkit/application.h"

namespace orvelle::test {
namespace {

testing::Environment* const demo_service = testing::AddGlobalTestEnvironment(new DemoServiceEnvironment);

QString CountdownText(int seconds) { return QString::asprintf("- %d :%.2d", seconds / 60, seconds % 60); }

TEST_F(OrvelleTest, FirstShowPlaysTheFirstSongOfTheDefaultChannel) {
  Start();
  const QStringList playlist = DemoServiceEnvironment::Targets(QStringLiteral("/j/v2/playlist"));
  ASSERT_FALSE(playlist.isEmpty());
  EXPECT_TRUE(playlist.first().startsWith(QStringLiteral("/j/v2/playlist?channel=-10&"))) << playlist.first().toStdString();

  EXPECT_EQ(form1->Caption(), QStringLiteral("Orvelle"));
  EXPECT_EQ(form1->size(), QSize(649, 266));
  EXPECT_FALSE(form2->isVisible());
  EXPECT_FALSE(state.CurrentSong.title.isEmpty());
  EXPECT_EQ(form1->sclbl1->Caption(), state.CurrentSong.title);
  EXPECT_EQ(form1->sclbl2->Caption(), state.CurrentSong.singer_name);
  const int length = state.CurrentSong.length.toInt();
  EXPECT_EQ(form1->sclbl3->Caption(), CountdownText(state.RemainingSeconds));
  EXPECT_EQ(form1->scgprgrsbr1->MaxValue(), length);
  EXPECT_EQ(form1->scgprgrsbr1->MinValue(), 0);
  EXPECT_EQ(form1->scgprgrsbr1->Value(), length - state.RemainingSeconds);
  // The layout's picture and captions never show: the disc holds the song's cover.
  ASSERT_NE(form1->img3->Picture()->Graphic(), nullptr);
  EXPECT_EQ(form1->img3->Picture()->Graphic()->ToImage(), form1->img1->Picture());
  EXPECT_TRUE(form1->img3->RotateAnimation());
  EXPECT_TRUE(form1->tmr1->Enabled());
  // The slider runs to the player's volume plus 100; the focus sink is out of sight, focused.
  EXPECT_EQ(form1->sctrckbr1->MaxValue(), player->Volume() + 100);
  EXPECT_FALSE(form1->sctrckbr1->isVisible());
  EXPECT_EQ(form1->btn6->Top(), -2000);
  EXPECT_TRUE(Focused(form1->btn6));
  EXPECT_FALSE(form1->scspltvw1->Opened());
  EXPECT_TRUE(PositionAdvances(player->PositionSeconds()));
}

// Song titles and singer names are shown as they are: an ampersand is no access-key marker.
TEST_F(OrvelleTest, AnAmpersandInATitleIsShownAsItself) {
  Create();
  for (TscLabel* label : {form1->sclbl1, form1->sclbl2}) {
    label->SetCaption(QStringLiteral("RB"));
    const int without = label->width();
    label->SetCaption(QStringLiteral("R&B"));
    EXPECT_GT(label->width(), without) << label->objectName().toStdString();
  }
}

TEST_F(OrvelleTest, APlayerThatCannotBeCreatedShowsItsErrorAndTheWindowStaysBlank) {
  Create([]() -> std::unique_ptr<MediaPlayer> { throw Error(QStringLiteral("Class not registered")); });
  ModalWatcher boxes;
  form1->SetVisible(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.Seen().isEmpty(); }, 5000));
  EXPECT_EQ(boxes.Seen().first().text, QStringLiteral("Class not registered."));
  EXPECT_EQ(boxes.Seen().first().icon, QMessageBox::Critical);
  // The rest of the first show did not run: no load, the stored captions and range stay.
  EXPECT_EQ(form1->sclbl1->Caption(), QStringLiteral("sclbl1"));
  EXPECT_EQ(form1->sctrckbr1->MaxValue(), 200);
  EXPECT_TRUE(DemoServiceEnvironment::Targets(QStringLiteral("/j/v2/playlist")).isEmpty());
  // Closing without a player shows nothing.
  form1->close();
  QTest::qWait(100);
  EXPECT_EQ(boxes.Seen().size(), 1);
  EXPECT_FALSE(form1->isVisible());
}

TEST_F(OrvelleTest, TheHelpButtonShowsTheOneNoticeWindowAndGivesTheFocusBack) {
  Start(kOneSongChannel);
  Click(form1->btn9);
  EXPECT_TRUE(form2->isVisible());
  EXPECT_TRUE(Focused(form1->btn6));
  EXPECT_EQ(form2->Caption(), QStringLiteral("声明"));
  EXPECT_EQ(form2->size(), QSize(551, 241));
  EXPECT_EQ(form2->mmo1->Lines(),
            QStringList({"", "本软件为交流学习经验实验之用，歌曲及其他相关内容来自 \u201c Kestra",
                         "FM \u201d ，如果您喜欢软件中的歌曲，", "", "请支持\u201cKestraFM\u201d", "",
                         "本软件只限 \u201cTolvane\u201d 网站 网友交流学习之用，请勿传播！"}));
  EXPECT_TRUE(form2->mmo1->ReadOnly());

  form2->close();  // hides it; the same window comes back
  EXPECT_FALSE(form2->isVisible());
  Click(form1->btn9);
  Click(form1->btn9);
  EXPECT_TRUE(form2->isVisible());
  int notice_windows = 0;
  for (QWidget* window : QApplication::topLevelWidgets()) notice_windows += qobject_cast<TForm2*>(window) ? 1 : 0;
  EXPECT_EQ(notice_windows, 1);
}

TEST_F(OrvelleTest, ClosingWhileASongPlaysStopsTheAudioWithoutAsking) {
  Start(kOneSongChannel);
  ASSERT_TRUE(PositionAdvances(0));
  ModalWatcher boxes;
  form1->close();
  EXPECT_FALSE(form1->isVisible());
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
    ModalWatcher boxes;
    if (!first_load) QTimer::singleShot(0, form1, [this] { Click(form1->btn2); });
    QTimer::singleShot(500, form1, [this] { form1->close(); });
    QElapsedTimer clock;
    clock.start();
    Application::Run();
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(form1->isVisible());
    EXPECT_TRUE(boxes.Seen().isEmpty());
    // The load stopped at its request: no song of its own was shown or played.
    EXPECT_TRUE(state.CurrentSong.sid.isEmpty());
    if (first_load) {
      EXPECT_EQ(state.IsPlaying, 0);
      EXPECT_TRUE(form1->sclbl1->Caption().isEmpty());
    }
    TearDown();
  }
}

}  // namespace
}  // namespace orvelle::test
