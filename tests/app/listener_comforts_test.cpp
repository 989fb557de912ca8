// What a listener expects of a desktop player beyond the window's controls: the keys of the main
// window, and the channel and volume of the last run coming back at the next start.

#include "app_test_support.h"

#include "../support/log_capture.h"

#include <QFile>
#include <QTemporaryDir>

namespace orvelle::test {
namespace {

constexpr ImagePair kMutedLook{1, 2};
constexpr ImagePair kUnmutedLook{3, 0};

constexpr int kWaitMs = 5000;

int PlaylistRequests() { return static_cast<int>(DemoServiceEnvironment::Targets("/j/v2/playlist").size()); }

// A key pressed and released in the window, as the window system delivers it: to the control
// with the focus, after the window's shortcuts had their say.
void Press(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(window->windowHandle(), static_cast<Qt::Key>(key), modifiers);
}

TEST_F(OrvelleTest, TheMainWindowsKeysPlaySkipMuteSetTheVolumeOpenTheLyricsAndQuit) {
  Start(kOneSongChannel);
  ASSERT_TRUE(QTest::qWaitForWindowActive(main_window));
  // Where a pointer click leaves the focus: on no control that uses keys itself.
  main_window->focusSink->setFocus();

  Press(main_window, Qt::Key_Space);
  EXPECT_FALSE(state().audio_playing);
  EXPECT_EQ(Images(main_window->playPauseButton), kPlayTriangle);
  Press(main_window, Qt::Key_Space);
  EXPECT_TRUE(state().audio_playing);
  EXPECT_TRUE(PositionAdvances(player->PositionSeconds()));

  for (const int key : {Qt::Key_Right, Qt::Key_N}) {
    const int before = PlaylistRequests();
    Press(main_window, key);
    EXPECT_TRUE(QTest::qWaitFor([&] { return PlaylistRequests() == before + 1; }, 10000)) << "key " << key;
  }

  Press(main_window, Qt::Key_Down);
  EXPECT_EQ(player->Volume(), 100 - MainWindow::kVolumeKeyStep);
  Press(main_window, Qt::Key_Up);
  Press(main_window, Qt::Key_Up);
  EXPECT_EQ(player->Volume(), 100 + MainWindow::kVolumeKeyStep);

  Press(main_window, Qt::Key_M);
  EXPECT_TRUE(state().muted);
  EXPECT_EQ(player->Volume(), 0);
  EXPECT_EQ(Images(main_window->muteButton), kMutedLook);
  // Up while muted: the volume heard before muting, one step up, and no longer muted.
  Press(main_window, Qt::Key_Up);
  EXPECT_FALSE(state().muted);
  EXPECT_EQ(player->Volume(), 100 + 2 * MainWindow::kVolumeKeyStep);
  EXPECT_EQ(Images(main_window->muteButton), kUnmutedLook);

  Press(main_window, Qt::Key_L);
  EXPECT_TRUE(QTest::qWaitFor([&] { return main_window->lyricsPanel->Opened(); }, kWaitMs)) << "the panel opens";
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Lyrics().isEmpty(); }, 10000)) << "the lyrics of the song";
  Press(main_window, Qt::Key_L);
  EXPECT_TRUE(QTest::qWaitFor([&] { return main_window->lyricsPanel->State() == TscSplitView::scsvsClosed; }, kWaitMs))
      << "the panel closes";

  Press(main_window, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !main_window->isVisible(); }, 5000)) << "Ctrl+Q closes the window";
}

// The channel list keeps its own keys while it has the focus: the arrows and letters choose a
// channel; Space still plays and pauses.
TEST_F(OrvelleTest, TheChannelListKeepsItsKeysWhileItHasTheFocus) {
  Start(kOneSongChannel);
  ASSERT_TRUE(QTest::qWaitForWindowActive(main_window));
  TscGPComboBox* channels = main_window->channelList;
  channels->setFocus();
  ASSERT_TRUE(channels->hasFocus());
  const int index = channels->ItemIndex();
  const int requests = PlaylistRequests();

  Press(main_window, Qt::Key_Down);
  EXPECT_EQ(channels->ItemIndex(), index + 1) << "Down moves through the list";
  EXPECT_EQ(state().channel_id, channels->Items()->Item(index + 1)->Detail());
  EXPECT_EQ(player->Volume(), 100) << "Down is the list's, not the volume's";
  Press(main_window, Qt::Key_Right);
  Press(main_window, Qt::Key_N);
  Press(main_window, Qt::Key_M);
  QTest::qWait(200);
  EXPECT_EQ(PlaylistRequests(), requests) << "no skip while the list has the focus";
  EXPECT_FALSE(state().muted);

  Press(main_window, Qt::Key_Space);
  EXPECT_FALSE(state().audio_playing) << "Space is the window's";
}

// A focused button keeps Space and Enter, the volume slider its arrows: the keyboard works each
// control as in any other window.
TEST_F(OrvelleTest, AFocusedButtonOrTheVolumeSliderKeepsItsKeys) {
  Start(kOneSongChannel);
  ASSERT_TRUE(QTest::qWaitForWindowActive(main_window));
  main_window->muteButton->setFocus(Qt::TabFocusReason);
  Press(main_window, Qt::Key_Space);
  EXPECT_TRUE(state().muted) << "Space pressed the mute button";
  EXPECT_TRUE(state().audio_playing) << "and not the window's play/pause";
  Press(main_window, Qt::Key_Return);
  EXPECT_FALSE(state().muted) << "Enter pressed it again";

  main_window->volumeSlider->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(main_window->volumeSlider->hasFocus());
  Press(main_window, Qt::Key_Down);
  EXPECT_EQ(player->Volume(), 99) << "the slider's own step, not the window's";
}

// Writes a settings file as an earlier run left it.
QString SettingsFileHolding(const QTemporaryDir& folder, const QByteArray& text) {
  const QString path = folder.filePath("orvelle.conf");
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text);
  return path;
}

TEST_F(OrvelleTest, TheChannelAndTheVolumeOfTheLastRunComeBack) {
  QTemporaryDir config;
  const QString path = SettingsFileHolding(config, "channel=17\nvolume=60\nmuted=true\n");
  auto remembered = std::make_unique<ListenerSettings>(path);
  settings = remembered.get();
  Start();
  const QStringList playlist = DemoServiceEnvironment::Targets("/j/v2/playlist");
  ASSERT_FALSE(playlist.isEmpty());
  EXPECT_TRUE(playlist.first().contains("channel=17&")) << "the first request: " << playlist.first().toStdString();
  TscGPComboBox* channels = main_window->channelList;
  EXPECT_EQ(channels->Items()->Item(channels->ItemIndex())->Detail(), "17") << "the drop-down shows it";
  EXPECT_TRUE(state().muted);
  EXPECT_EQ(state().saved_volume, 60);
  EXPECT_EQ(player->Volume(), 0);
  EXPECT_EQ(Images(main_window->muteButton), kMutedLook);
  EXPECT_EQ(main_window->volumeSlider->MaxValue(), 200) << "the range is still the player's own volume plus 100";

  // The listener's changes are remembered for the next start.
  Click(main_window->muteButton);
  EXPECT_EQ(player->Volume(), 60);
  channels->SetItemIndex(0);
  const QString first_channel = channels->Items()->Item(0)->Detail();
  TearDown();
  remembered.reset();
  const ListenerSettings next_start(path);
  EXPECT_EQ(next_start.Channel(), first_channel);
  EXPECT_EQ(next_start.Volume(), 60);
  EXPECT_EQ(next_start.Muted(), false);
}

TEST_F(OrvelleTest, ARememberedChannelNoLongerInTheListIsIgnoredWithALogLine) {
  QTemporaryDir config;
  ListenerSettings remembered(SettingsFileHolding(config, "channel=31337\n"));
  settings = &remembered;
  LogCapture log;
  Start();
  const QStringList playlist = DemoServiceEnvironment::Targets("/j/v2/playlist");
  ASSERT_FALSE(playlist.isEmpty());
  EXPECT_TRUE(playlist.first().contains("channel=-10&")) << playlist.first().toStdString();
  EXPECT_EQ(log.Matching("orvelle.ui warning", "31337").size(), 1) << log.Lines().join('\n').toStdString();
  EXPECT_EQ(player->Volume(), 100) << "no volume remembered: the player's own";
}

}  // namespace
}  // namespace orvelle::test
