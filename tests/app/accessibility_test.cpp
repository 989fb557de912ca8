// Orvelle as assistive technology sees it, through Qt's accessibility interfaces: the names and
// roles of both windows, the press action, the announcements (recorded by an update handler), the
// focus after keyboard, pointer and remote clicks, and the order in which Tab visits the controls.

#include "app_test_support.h"
#include "toolkit/focus.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QRegularExpression>

#include <vector>

namespace orvelle::test {
namespace {

testing::Environment* const demo_service = testing::AddGlobalTestEnvironment(new DemoServiceEnvironment);

// An announcement as assistive technology receives it.
struct Announcement {
  QObject* object;
  QAccessible::Event type;
  QAccessible::State changed;  // for state changes
  QString name;                // of the object, or of the row a focus event names
};

std::vector<Announcement>& Heard() {
  static std::vector<Announcement> heard;
  return heard;
}

void RecordAnnouncement(QAccessibleEvent* event) {
  QAccessibleInterface* iface = event->accessibleInterface();
  Announcement heard{event->object(), event->type(), {}, iface ? iface->text(QAccessible::Name) : QString()};
  if (event->type() == QAccessible::StateChanged) heard.changed = static_cast<QAccessibleStateChangeEvent*>(event)->changedStates();
  Heard().push_back(heard);
}

QAccessibleInterface* Accessible(QObject* object) { return QAccessible::queryAccessibleInterface(object); }
QString Name(QObject* object) { return Accessible(object)->text(QAccessible::Name); }

// Presses a control as a screen reader does, through its press action.
void Press(QObject* control) {
  QAccessibleActionInterface* actions = Accessible(control)->actionInterface();
  ASSERT_NE(actions, nullptr);
  ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction())) << control->objectName().toStdString();
  actions->doAction(QAccessibleActionInterface::pressAction());
}

class AccessibilityTest : public OrvelleTest {
 protected:
  void SetUp() override {
    OrvelleTest::SetUp();
    previous_handler_ = QAccessible::installUpdateHandler(&RecordAnnouncement);
    Heard().clear();
  }

  // Skips a test of announcements where Qt reports none (no X server or no session bus).
  // Whether Qt reports to assistive technology (and so to the update handler): its bridge is on
  // with an accessibility bus on an X server.
  static bool Announcing() { return QAccessible::isActive(); }
  void TearDown() override {
    QAccessible::installUpdateHandler(previous_handler_);
    OrvelleTest::TearDown();
  }

  // Starts the program and waits until its window is the active one.
  void StartActive(const char* channel = nullptr) {
    Start(channel);
    QApplication::setActiveWindow(main_window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(main_window));
  }

  // The window's announcer, and what it announced last.
  orvelle::Announcer* Announcer() const { return main_window->findChild<orvelle::Announcer*>(); }
  QString Announced() const { return Announcer()->LastAnnounced(); }

  int CountHeard(QObject* object, QAccessible::Event type) const {
    return int(std::count_if(Heard().begin(), Heard().end(),
                             [&](const Announcement& a) { return a.object == object && a.type == type; }));
  }

  QAccessible::UpdateHandler previous_handler_ = nullptr;
};

TEST_F(AccessibilityTest, EveryControlOfBothWindowsHasItsRoleAndChineseName) {
  ASSERT_NO_FATAL_FAILURE(StartActive());
  MainWindow& w = *main_window;
  const struct {
    QObject* control;
    QAccessible::Role role;
    QString name;
  } cases[] = {
      {&w, QAccessible::Window, SongAnnouncer::Join(state().song.title, state().song.singer_name)},
      {w.playerPanel, QAccessible::Pane, u"播放器"_qs},
      {w.channelList, QAccessible::ComboBox, u"频道"_qs},
      {w.titleLabel, QAccessible::StaticText, w.titleLabel->Caption()},
      {w.singerLabel, QAccessible::StaticText, w.singerLabel->Caption()},
      {w.disc, QAccessible::Graphic, u"封面"_qs},
      {w.songProgress, QAccessible::ProgressBar, u"进度"_qs},
      {w.lyricsButton, QAccessible::Button, u"歌词"_qs},
      {w.playPauseButton, QAccessible::Button, u"暂停"_qs},
      {w.nextButton, QAccessible::Button, u"下一首"_qs},
      {w.muteButton, QAccessible::Button, u"静音"_qs},
      {w.volumeSlider, QAccessible::Slider, u"音量"_qs},
      {w.noticeButton, QAccessible::Button, u"声明"_qs},
      {w.lyricsPanel, QAccessible::Pane, u"歌词面板"_qs},
      {w.lyricsCloseButton, QAccessible::Button, u"关闭歌词"_qs},
      {w.fontLargerButton, QAccessible::Button, u"放大字体"_qs},
      {w.fontSmallerButton, QAccessible::Button, u"缩小字体"_qs},
      {w.lyricsText->Editor(), QAccessible::EditableText, u"歌词文本"_qs},
      {notice_window, QAccessible::Dialog, u"声明"_qs},
      {notice_window->noticeText->Editor(), QAccessible::EditableText, u"声明文本"_qs},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.control->objectName().toStdString());
    QAccessibleInterface* iface = Accessible(c.control);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), c.role);
    EXPECT_FALSE(c.name.isEmpty());
    EXPECT_EQ(iface->text(QAccessible::Name), c.name);
  }
  // Both windows speak Chinese, and so does the program.
  EXPECT_EQ(w.locale().name(), u"zh_CN"_qs);
  EXPECT_EQ(notice_window->locale().name(), u"zh_CN"_qs);
  EXPECT_EQ(QLocale().name(), u"zh_CN"_qs);
    // The labels say what they show; a description says what it is.
  EXPECT_EQ(Accessible(w.titleLabel)->text(QAccessible::Description), u"标题"_qs);
  EXPECT_EQ(Accessible(w.singerLabel)->text(QAccessible::Description), u"歌手"_qs);
  EXPECT_EQ(Accessible(w.remainingTimeLabel)->text(QAccessible::Value), w.remainingTimeLabel->Caption());
  // The remaining time is read as a time: "- 0 :35" is "剩余 0 分 35 秒".
  const QStringList shown = w.remainingTimeLabel->Caption().split(QRegularExpression(u"[^0-9]+"_qs), Qt::SkipEmptyParts);
  ASSERT_EQ(shown.size(), 2) << w.remainingTimeLabel->Caption().toStdString();
  EXPECT_EQ(Name(w.remainingTimeLabel), u"剩余 %1 分 %2 秒"_qs.arg(shown[0], shown[1]));
}

TEST_F(AccessibilityTest, TheChannelListShowsTheChosenChannelAndNamesTheBlankRow) {
  ASSERT_NO_FATAL_FAILURE(StartActive());
  if (!Announcing()) GTEST_SKIP() << "Qt's accessibility bridge is off (no X server or accessibility bus)";
  TscGPComboBox* list = main_window->channelList;
  EXPECT_EQ(Accessible(list)->text(QAccessible::Value), u"Kestra精选"_qs);
  const int blank = 21;
  ASSERT_TRUE(list->Items()->Item(blank)->Caption().isEmpty());
  list->SetItemIndex(blank);
  EXPECT_EQ(Accessible(list)->text(QAccessible::Value), u"空白频道"_qs);
  EXPECT_GE(CountHeard(list, QAccessible::ValueChanged), 1);
}

TEST_F(AccessibilityTest, TheFocusSinkIsNeitherInTheTreeNorATabStop) {
  ASSERT_NO_FATAL_FAILURE(StartActive());
  QAccessibleInterface* panel = Accessible(main_window->playerPanel);
  for (int i = 0; i < panel->childCount(); ++i) {
    EXPECT_NE(panel->child(i)->object(), main_window->focusSink);
  }
  EXPECT_EQ(panel->indexOfChild(Accessible(main_window->focusSink)), -1);
  EXPECT_FALSE(main_window->focusSink->focusPolicy() & Qt::TabFocus);
  EXPECT_EQ(QApplication::focusWidget(), main_window->playPauseButton) << "the keyboard starts on play/pause";
  // Only the remaining time, of the labels, is a tab stop.
  EXPECT_FALSE(main_window->titleLabel->focusPolicy() & Qt::TabFocus);
  EXPECT_FALSE(main_window->singerLabel->focusPolicy() & Qt::TabFocus);
  EXPECT_TRUE(main_window->remainingTimeLabel->focusPolicy() & Qt::TabFocus);
}

TEST_F(AccessibilityTest, PressActionsRunTheButtonsAndLeaveTheFocusWhereItIs) {
  ASSERT_NO_FATAL_FAILURE(StartActive());
  MainWindow& w = *main_window;
  QWidget* focused = QApplication::focusWidget();

  // The button's name says what a press does; the new state is announced on every press.
  ASSERT_NO_FATAL_FAILURE(Press(w.playPauseButton));
  EXPECT_FALSE(state().audio_playing);
  EXPECT_EQ(Name(w.playPauseButton), u"播放"_qs);
  EXPECT_EQ(Announced(), u"已暂停"_qs);
  ASSERT_NO_FATAL_FAILURE(Press(w.playPauseButton));
  EXPECT_TRUE(state().audio_playing);
  EXPECT_EQ(Name(w.playPauseButton), u"暂停"_qs);
  EXPECT_EQ(Announced(), u"正在播放"_qs);

  const QString sid = state().song.sid;
  ASSERT_NO_FATAL_FAILURE(Press(w.nextButton));
  ASSERT_TRUE(QTest::qWaitFor([&] { return state().song.sid != sid && state().audio_playing; }, 20000));

  EXPECT_TRUE(Accessible(w.lyricsButton)->state().expandable);
  EXPECT_FALSE(Accessible(w.lyricsButton)->state().expanded);
  ASSERT_NO_FATAL_FAILURE(Press(w.lyricsButton));
  EXPECT_TRUE(Accessible(w.lyricsButton)->state().expanded) << "the lyrics panel opens";
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.lyricsPanel->Opened(); }, 5000));
  ASSERT_NO_FATAL_FAILURE(Press(w.lyricsCloseButton));
  EXPECT_FALSE(w.lyricsPanel->Opened());
  EXPECT_FALSE(Accessible(w.lyricsButton)->state().expanded);
  EXPECT_EQ(QApplication::focusWidget(), focused) << "no press moved the focus";

  // The progress bar has a value to read and nothing to do.
  QAccessibleInterface* progress = Accessible(w.songProgress);
  EXPECT_TRUE(progress->state().readOnly);
  EXPECT_FALSE(progress->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
  const double before = progress->valueInterface()->currentValue().toDouble();
  progress->valueInterface()->setCurrentValue(before + 10);
  EXPECT_EQ(progress->valueInterface()->currentValue().toDouble(), before);
}

TEST_F(AccessibilityTest, ANewSongIsAnnouncedAndTheCountDownIsNot) {
  ASSERT_NO_FATAL_FAILURE(StartActive());
  if (!Announcing()) GTEST_SKIP() << "Qt's accessibility bridge is off (no X server or accessibility bus)";
  MainWindow& w = *main_window;
  Heard().clear();
  const QString title = w.titleLabel->Caption();
  Click(w.nextButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.titleLabel->Caption() != title && state().audio_playing; }, 20000));
  EXPECT_GE(CountHeard(w.titleLabel, QAccessible::NameChanged), 1);
  EXPECT_GE(CountHeard(w.singerLabel, QAccessible::NameChanged), 1);
  EXPECT_EQ(Name(w.titleLabel), w.titleLabel->Caption());
  // The song is announced once with its title and singer, and the window's caption follows it.
  const QString song = state().song.title + u" – "_qs + state().song.singer_name;
  EXPECT_EQ(CountHeard(Announcer(), QAccessible::ObjectShow), 1);
  EXPECT_EQ(Announced(), song);
  EXPECT_EQ(w.Caption(), song);
  EXPECT_EQ(Accessible(Announcer())->role(), QAccessible::Notification);

  // Two ticks of the count-down: the time is readable, and never announced.
  Heard().clear();
  const QString time = w.remainingTimeLabel->Caption();
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.remainingTimeLabel->Caption() != time; }, 3000));
  EXPECT_EQ(Accessible(w.remainingTimeLabel)->text(QAccessible::Value), w.remainingTimeLabel->Caption());
  // Its name follows (a screen reader does not speak a label's name changes); nothing is announced.
  EXPECT_EQ(CountHeard(Announcer(), QAccessible::ObjectShow), 0);
  EXPECT_EQ(CountHeard(w.remainingTimeLabel, QAccessible::ValueChanged), 0);
  EXPECT_EQ(CountHeard(w.songProgress, QAccessible::ValueChanged), 0);
}

TEST_F(AccessibilityTest, TheVolumeIsSetThroughTheSliderAndMutingIsAnnounced) {
  ASSERT_NO_FATAL_FAILURE(StartActive());
  if (!Announcing()) GTEST_SKIP() << "Qt's accessibility bridge is off (no X server or accessibility bus)";
  MainWindow& w = *main_window;
  QAccessibleValueInterface* volume = Accessible(w.volumeSlider)->valueInterface();
  ASSERT_NE(volume, nullptr);
  Heard().clear();
  volume->setCurrentValue(40);
  EXPECT_EQ(player->Volume(), 40) << "the slider sets the player's volume";
  EXPECT_EQ(volume->currentValue().toInt(), 40);
  EXPECT_EQ(CountHeard(w.volumeSlider, QAccessible::ValueChanged), 1);

  Heard().clear();
  ASSERT_NO_FATAL_FAILURE(Press(w.muteButton));
  EXPECT_TRUE(state().muted);
  EXPECT_EQ(Name(w.muteButton), u"取消静音"_qs);
  EXPECT_EQ(CountHeard(Announcer(), QAccessible::ObjectShow), 1) << "muting is announced";
  EXPECT_EQ(Announced(), u"已静音"_qs);
  EXPECT_EQ(CountHeard(w.volumeSlider, QAccessible::ValueChanged), 1) << "the volume falls to 0";
  EXPECT_EQ(volume->currentValue().toInt(), 0);
  // The M key is announced as the button is.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_M);
  EXPECT_EQ(player->Volume(), 40);
  EXPECT_EQ(Name(w.muteButton), u"静音"_qs);
  EXPECT_EQ(Announced(), u"已取消静音"_qs);
}

// A screen reader pressing the larger-text button up to the largest size hears it become
// disabled; it then offers no press.
TEST_F(AccessibilityTest, AFontButtonAtItsBoundIsAnnouncedDisabled) {
  ASSERT_NO_FATAL_FAILURE(StartActive(kOneSongChannel));
  if (!Announcing()) GTEST_SKIP() << "Qt's accessibility bridge is off (no X server or accessibility bus)";
  MainWindow& w = *main_window;
  ASSERT_NO_FATAL_FAILURE(Press(w.lyricsButton));
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.lyricsPanel->Opened(); }, 5000));
  Heard().clear();
  for (int press = 0; press < 11; ++press) ASSERT_NO_FATAL_FAILURE(Press(w.fontLargerButton));  // 11 to 40 pixels
  EXPECT_EQ(w.lyricsText->GetFont()->Height(), 40);
  EXPECT_TRUE(Accessible(w.fontLargerButton)->state().disabled);
  const auto disabled = std::find_if(Heard().begin(), Heard().end(), [&](const Announcement& a) {
    return a.object == w.fontLargerButton && a.type == QAccessible::StateChanged && a.changed.disabled;
  });
  EXPECT_NE(disabled, Heard().end()) << "reaching the bound is announced";
  EXPECT_FALSE(Accessible(w.fontLargerButton)->actionInterface()->actionNames().contains(
      QAccessibleActionInterface::pressAction()));
}

TEST_F(AccessibilityTest, TheKeyboardReachesTheVolumeThroughTheMuteButton) {
  ASSERT_NO_FATAL_FAILURE(StartActive());
  MainWindow& w = *main_window;
  ASSERT_FALSE(w.volumeSlider->isVisible());
  w.muteButton->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(w.volumeSlider->isVisible()) << "the slider shows with the focus on the mute button";
  QTest::keyClick(w.muteButton, Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), w.volumeSlider);
  const int before = player->Volume();
  QTest::keyClick(w.volumeSlider, Qt::Key_Down);
  EXPECT_EQ(player->Volume(), before - 1);
  QTest::keyClick(w.volumeSlider, Qt::Key_PageUp);
  EXPECT_EQ(player->Volume(), before + 9);
  QTest::keyClick(w.volumeSlider, Qt::Key_Tab);
  EXPECT_FALSE(w.volumeSlider->isVisible()) << "the slider goes with the focus";
  ASSERT_EQ(QApplication::focusWidget(), w.noticeButton);
  QTest::keyClick(w.noticeButton, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), w.volumeSlider) << "Shift+Tab reaches the slider as Tab does";
  EXPECT_TRUE(w.volumeSlider->isVisible());
  QTest::keyClick(w.volumeSlider, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), w.muteButton);
}

// Where the focus is after a click on each button: a pointer click parks it on the sink, a key
// leaves it on the button.
TEST_F(AccessibilityTest, OnlyAPointerClickMovesTheFocusToTheSink) {
  ASSERT_NO_FATAL_FAILURE(StartActive());
  MainWindow& w = *main_window;
  TscGPButton* const buttons[] = {w.playPauseButton, w.playPauseButton, w.lyricsButton, w.lyricsButton, w.muteButton, w.muteButton};
  for (TscGPButton* button : buttons) {
    SCOPED_TRACE(button->objectName().toStdString());
    button->setFocus(Qt::TabFocusReason);
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_EQ(QApplication::focusWidget(), button) << "a key leaves the focus on the button";
    Click(button);
    EXPECT_EQ(QApplication::focusWidget(), w.focusSink) << "a pointer click parks it";
    QTest::qWait(400);  // the lyrics panel slides
  }
}

// Remote commands (media keys, the sound menu) run the buttons' handlers but move neither the focus
// nor the active window.
TEST_F(AccessibilityTest, RemoteCommandsMoveNeitherTheFocusNorTheActiveWindow) {
  ASSERT_NO_FATAL_FAILURE(StartActive());
  MainWindow& w = *main_window;
  w.nextButton->setFocus(Qt::TabFocusReason);
  notice_window->SetVisible(true);
  QApplication::setActiveWindow(notice_window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(notice_window));

  w.PlayPause();
  EXPECT_FALSE(state().audio_playing);
  w.PlayPause();
  const QString sid = state().song.sid;
  w.Next();
  ASSERT_TRUE(QTest::qWaitFor([&] { return state().song.sid != sid && state().audio_playing; }, 20000));
  EXPECT_EQ(QApplication::activeWindow(), notice_window);
  EXPECT_EQ(w.focusWidget(), w.nextButton);
}

TEST_F(AccessibilityTest, EscapeClosesTheNoticeOpenedFromTheKeyboard) {
  ASSERT_NO_FATAL_FAILURE(StartActive());
  MainWindow& w = *main_window;
  w.noticeButton->setFocus(Qt::TabFocusReason);
  QTest::keyClick(w.noticeButton, Qt::Key_Return);
  ASSERT_TRUE(notice_window->isVisible());
  ASSERT_TRUE(QTest::qWaitForWindowActive(notice_window)) << "the notice takes the focus to be read";
  // A dialog of the main window counts as active with it; the keys reach it once it is the
  // application's active window.
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == notice_window; }, 5000));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_FALSE(notice_window->isVisible());
  EXPECT_EQ(w.focusWidget(), w.noticeButton);
}

// Each channel the arrows choose is told as the focus of its row, with the list closed and open;
// closing the list gives the focus back to the drop-down.
TEST_F(AccessibilityTest, TheChannelListsArrowsFocusTheChosenRow) {
  ASSERT_NO_FATAL_FAILURE(StartActive());
  if (!Announcing()) GTEST_SKIP() << "Qt's accessibility bridge is off (no X server or accessibility bus)";
  TscGPComboBox* list = main_window->channelList;
  list->setFocus(Qt::TabFocusReason);
  auto focused = [] {
    QStringList names;
    for (const Announcement& a : Heard()) {
      if (a.type == QAccessible::Focus) names << (a.object ? u"(%1)"_qs.arg(a.name) : a.name);
    }
    Heard().clear();
    return names;
  };
  Heard().clear();
  QTest::keyClick(list, Qt::Key_Down);
  QTest::keyClick(list, Qt::Key_Down);
  QTest::keyClick(list, Qt::Key_Up);
  EXPECT_EQ(focused(), (QStringList{u"新歌"_qs, u"世界音乐"_qs, u"新歌"_qs}));
  QTest::keyClick(list, Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(list->IsPopupVisible());
  QTest::keyClick(list, Qt::Key_Down);
  QTest::keyClick(list, Qt::Key_Escape);
  EXPECT_EQ(focused(), (QStringList{u"(频道)"_qs, u"新歌"_qs, u"世界音乐"_qs, u"(频道)"_qs}))
      << "the open list (named as the drop-down), its rows, the drop-down again";
}

// The first window looks as designed: the focus frame appears once the keyboard is used, and a
// pointer press hides it again.
TEST_F(AccessibilityTest, TheFocusFrameShowsOnlyAfterTheKeyboard) {
  ASSERT_NO_FATAL_FAILURE(StartActive());
  MainWindow& w = *main_window;
  ASSERT_EQ(QApplication::focusWidget(), w.playPauseButton);
  const QPoint empty(600, 240);  // a spot of the panel without a control
  QTest::mouseClick(w.playerPanel, Qt::LeftButton, {}, empty);
  ASSERT_EQ(QApplication::focusWidget(), w.playPauseButton);
  EXPECT_FALSE(FocusCueVisible());
  const QImage plain = w.playPauseButton->grab().toImage();
  QTest::keyClick(w.playPauseButton, Qt::Key_F12);  // a key that does nothing else
  EXPECT_TRUE(FocusCueVisible());
  EXPECT_NE(w.playPauseButton->grab().toImage(), plain) << "the focused look shows";
  QTest::mouseClick(w.playerPanel, Qt::LeftButton, {}, empty);
  EXPECT_FALSE(FocusCueVisible());
  EXPECT_EQ(w.playPauseButton->grab().toImage(), plain);
}

// The notice's text begins with an empty line, kept as room above the text: the caret starts on
// the first line of words, so that it is read when the text takes the focus.
TEST_F(AccessibilityTest, TheNoticeIsReadFromItsFirstLineOfWords) {
  ASSERT_NO_FATAL_FAILURE(StartActive());
  notice_window->SetVisible(true);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(notice_window));
  TscGPMemo* text = notice_window->noticeText;
  EXPECT_TRUE(text->Lines().first().startsWith(u"本软件为交流学习经验实验之用"_qs));
  EXPECT_EQ(text->Lines().size(), 6);
  EXPECT_GT(text->ContentMarginTop(), 5) << "the empty line became room above the text";
  EXPECT_EQ(text->Editor()->textCursor().position(), 0);
  EXPECT_TRUE(text->ReadOnly());
}

// Tab visits the controls in reading order; the lyrics panel's controls only while it is open,
// and Tab leaves the lyrics text.
TEST_F(AccessibilityTest, TabVisitsTheControlsInReadingOrder) {
  ASSERT_NO_FATAL_FAILURE(StartActive());
  MainWindow& w = *main_window;
  auto visits = [&](int count) {
    QStringList names;
    for (int i = 0; i < count; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QWidget* focused = QApplication::focusWidget();
      // The text views' editor stands for its view.
      if (focused && focused->parentWidget() == w.lyricsText) focused = w.lyricsText;
      names << (focused ? focused->objectName() : u"(none)"_qs);
    }
    return names;
  };
  const struct {
    bool lyrics_open;
    QStringList order;
  } cases[] = {
      {false,
       {u"remainingTimeLabel"_qs, u"lyricsButton"_qs, u"playPauseButton"_qs, u"nextButton"_qs, u"muteButton"_qs,
        u"volumeSlider"_qs, u"noticeButton"_qs, u"channelList"_qs}},
      {true,
       {u"remainingTimeLabel"_qs, u"lyricsButton"_qs, u"playPauseButton"_qs, u"nextButton"_qs, u"muteButton"_qs,
        u"volumeSlider"_qs, u"noticeButton"_qs, u"lyricsCloseButton"_qs, u"fontLargerButton"_qs,
        u"fontSmallerButton"_qs, u"lyricsText"_qs, u"channelList"_qs}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lyrics_open ? "lyrics open" : "lyrics closed");
    if (c.lyrics_open) {
      w.lyricsPanel->SetOpened(true);
      ASSERT_TRUE(QTest::qWaitFor([&] { return w.lyricsPanel->Opened(); }, 5000));
    }
    w.channelList->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(visits(int(c.order.size())), c.order);
  }
}

}  // namespace
}  // namespace orvelle::test
