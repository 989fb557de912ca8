#include "app/main_window.h"

#include "app/close_request.h"
#include "playback/gst_media_player.h"
#include "service/error.h"
#include "service/log.h"
#include "service/service_text.h"
#include "toolkit/application.h"
#include "toolkit/focus.h"

#include <QApplication>
#include <QElapsedTimer>

#include <QKeyEvent>
#include <QShortcut>
#include <QWindow>

#include <algorithm>

namespace orvelle {
namespace {

// The looks of the play/pause and mute buttons: their images (normal, hot) and the name a screen
// reader speaks, which says what a press does, so that the listener hears the new state on every
// press.
struct ButtonLook {
  int normal;
  int hot;
  const char16_t* name;
};
constexpr ButtonLook kPauseBars{2, 3, u"暂停"};
constexpr ButtonLook kPlayTriangle{11, 12, u"播放"};
constexpr ButtonLook kMutedLook{1, 2, u"取消静音"};
constexpr ButtonLook kUnmutedLook{3, 0, u"静音"};

// What is announced when a press (of the button or its key) switches the state.
constexpr char16_t kPausedAnnouncement[] = u"已暂停";
constexpr char16_t kPlayingAnnouncement[] = u"正在播放";
constexpr char16_t kMutedAnnouncement[] = u"已静音";
constexpr char16_t kUnmutedAnnouncement[] = u"已取消静音";

// Where FormCreate puts the focus sink: far above the visible area.
constexpr int kFocusSinkTop = -2000;

// How long the first load may wait for its answer before the window says it is connecting.
constexpr int kConnectingNoticeMilliseconds = 1000;
constexpr char16_t kConnectingText[] = u"正在连接…";

// The space kept between the title or singer and the disc.
constexpr int kGapBeforeDisc = 16;

// After a give-up the singer label says why and how to try at once (a click on the play image or
// Space), and the remaining-time label, short of the mute button, when the next try comes.
constexpr char16_t kTryNowHint[] = u"，按 ▶ 或空格重试";
QString NextTryText(int seconds) { return QStringLiteral("%1 秒后重试").arg(seconds); }
constexpr char16_t kRetryingText[] = u"正在重试…";

void ShowImages(TscGPButton* button, ButtonLook look) {
  button->SetImageIndex(look.normal);
  button->SetHotImageIndex(look.hot);
  // Focused, the button shows what it shows at rest (its focus frame marks the focus): the hot
  // image of the mute button is the other state's.
  button->SetFocusedImageIndex(look.normal);
  button->SetAccessibleName(QString::fromUtf16(look.name));
}

// Whether the key moves through a list or along a slider: the arrows and the page keys.
bool IsMoveKey(const QKeyEvent& key) {
  switch (key.key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      return true;
    default:
      return false;
  }
}

// Whether the channel list uses the key itself, so that the window's keys leave it to the list
// while it has the focus: the moves through the list, opening and closing it, and the letters and
// digits it jumps to a channel by. Space and Ctrl+Q stay the window's.
bool ChannelListKeepsKey(const QKeyEvent& key) {
  if (IsMoveKey(key)) return true;
  if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter || key.key() == Qt::Key_Escape) return true;
  const QString text = key.text();
  return !text.isEmpty() && text.front() > u' ' && !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

// Whether the volume slider uses the key itself: the moves, and Home and End to its ends.
bool VolumeSliderKeepsKey(const QKeyEvent& key) {
  return IsMoveKey(key) || key.key() == Qt::Key_Home || key.key() == Qt::Key_End;
}

// Whether a button uses the key itself: Space and Enter press it.
bool ButtonKeepsKey(const QKeyEvent& key) {
  return key.key() == Qt::Key_Space || key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

// Claims for the control it watches the keys that control uses itself while it has the focus: a
// claimed key goes to the control instead of starting the window's shortcut, so that the keyboard
// works each control as it does in any other window.
class ControlKeys : public QObject {
 public:
  using KeepsKey = bool (*)(const QKeyEvent&);
  ControlKeys(QObject* control, KeepsKey keeps_key) : QObject(control), keeps_key_(keeps_key) {
    control->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ShortcutOverride && keeps_key_(*static_cast<QKeyEvent*>(event))) {
      event->accept();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  KeepsKey keeps_key_;
};

// The picture a hidden holder shows for a container's graphic.
QImage HolderImage(const PictureContainer& picture) {
  const Graphic* graphic = picture.Graphic();
  return graphic && !graphic->Empty() ? graphic->ToImage() : QImage();
}

}  // namespace

std::unique_ptr<MediaPlayer> MakeProgramMediaPlayer() { return std::make_unique<GstMediaPlayer>(); }

MainWindow::MainWindow(MediaPlayerFactory make_player, QWidget* parent)
    : Form(parent), radio_(std::move(make_player)), announcer_(new Announcer(this)), song_announcer_(*this, *announcer_) {
  connect(&radio_, &Radio::SongShown, this, [this] { Application::RunGuarded([this] { ShowSong(); }); });
  connect(&radio_, &Radio::PhaseChanged, this, [this] { Application::RunGuarded([this] { ShowPhase(); }); });
  connect(&radio_, &Radio::CountdownMoved, this, [this] { Application::RunGuarded([this] { ShowCountdown(); }); });
  connect(&radio_, &Radio::VolumeChanged, this, [this] { Application::RunGuarded([this] { ShowVolume(); }); });
  connect(qApp, &QApplication::focusChanged, this, &MainWindow::VolumeSliderFollowsFocus);
  remote_announcement_.setSingleShot(true);
  connect(&remote_announcement_, &QTimer::timeout, this, [this] { NotifyRemoteStateChanged(); });
  connecting_notice_.setSingleShot(true);
  connecting_notice_.setInterval(kConnectingNoticeMilliseconds);
  connect(&connecting_notice_, &QTimer::timeout, this, &MainWindow::ShowConnecting);
  close_requests_ = new CloseRequests(*this, [this] { Quit(); });
}

MainWindow::~MainWindow() {
  radio_.Shutdown();
  // The controls go before the window's own connections do: focus changes while they go are not
  // the slider's business.
  disconnect(qApp, &QApplication::focusChanged, this, &MainWindow::VolumeSliderFollowsFocus);
  disconnect(&radio_, nullptr, this, nullptr);
}

// ---- start-up and close ----

void MainWindow::FormCreate(QObject*) {
  focusSink->SetTop(kFocusSinkTop);
  FitCaptionsBeforeDisc();
  InstallShortcuts();
  // The first window looks as designed, without a focus frame, until the keyboard is used.
  ShowFocusOnlyAfterKeyboard();
}

void MainWindow::FitCaptionsBeforeDisc() {
  // A long title, singer or give-up reason is cut with "…" where the disc begins rather than
  // running under it and off the window, which cannot be widened.
  for (TscLabel* label : {titleLabel, singerLabel}) label->SetElideWidth(disc->x() - label->x() - kGapBeforeDisc);
}

void MainWindow::FormShow(QObject*) {
  // The first show only: showing the window again (after a minimise) starts nothing.
  if (shown_) return;
  shown_ = true;
  QElapsedTimer creating;
  creating.start();
  radio_.CreatePlayer();
  qCDebug(lcUi) << "start-up: the first show made the media player in" << creating.elapsed() << "ms";
  volumeSlider->SetMaxValue(radio_.State().volume + 100);
  titleLabel->SetCaption(QString());
  singerLabel->SetCaption(QString());
  remainingTimeLabel->SetCaption(QString());
  songProgress->SetValue(0);  // empty until the first song gives it a range
  disc->SetPicture(nullptr);
  lyricsPanel->SetOpened(false);
  // The music is on its way: the button offers the pause.
  ShowImages(playPauseButton, kPauseBars);
  lyricsButton->SetAccessibleExpanded(false);
  song_announcer_.NothingShown();
  remainingTimeLabel->SetAccessibleName(SpokenRemainingTimeNone());
  ApplyRememberedListening();
  // The keyboard starts on the play/pause button, where none of the window's keys is taken by
  // the control itself.
  SetFocus(playPauseButton);
  connecting_notice_.start();
  radio_.Start();
}

void MainWindow::ShowConnecting() {
  if (radio_.State().song_number > 0 || radio_.State().phase != PlayPhase::Loading) return;
  titleLabel->SetCaption(QString::fromUtf16(kConnectingText));
  singerLabel->SetCaption(ServiceBase());
}

void MainWindow::FormCloseQuery(QObject*, bool*) {
  // The window always closes, at once: what waits for the network is dropped, so nothing more
  // is shown, the audio stops, and a box still open goes with the window. A player that is
  // missing or fails to stop does not hold the closing up.
  connecting_notice_.stop();
  radio_.Shutdown();
  if (QWidget* box = QApplication::activeModalWidget(); box && box != this) box->close();
}

void MainWindow::showEvent(QShowEvent* event) {
  Form::showEvent(event);
  radio_.SetSeen(true);
}

void MainWindow::hideEvent(QHideEvent* event) {
  Form::hideEvent(event);
  // Also sent, spontaneously, when the window is minimised.
  radio_.SetSeen(false);
}

// ---- the playback cycle ----

void MainWindow::playPauseButtonClick(QObject*) {
  const bool pausing = radio_.State().OffersPause();
  radio_.PlayPause();
  if (pausing) {
    StopDisc();
  } else if (radio_.State().phase == PlayPhase::Playing) {
    TurnCover();
  }
  announcer_->Announce(QString::fromUtf16(pausing ? kPausedAnnouncement : kPlayingAnnouncement));
  FocusSink();
}

void MainWindow::nextButtonClick(QObject*) {
  FocusSink();
  lyricsText->Clear();
  radio_.CancelLyrics();
  radio_.Next();
}

void MainWindow::discClick(QObject*) { StopDisc(); }

void MainWindow::titleLabelMouseEnter(QObject*) {
  StopDisc();
  disc->SetPicture(&radio_.Cover());
}

void MainWindow::singerLabelMouseEnter(QObject*) {
  StopDisc();
  disc->SetPicture(&radio_.SingerPicture());
}

void MainWindow::singerLabelMouseLeave(QObject*) {
  if (radio_.State().phase == PlayPhase::Playing) disc->SetRotateAnimation(true);
  disc->SetRotationAngle(0);
  disc->SetPicture(&radio_.Cover());
}

void MainWindow::channelListChange(QObject*) {
  radio_.ChooseChannel(ChosenChannelDetail());
  if (settings_) settings_->RememberChannel(radio_.State().channel_id);
}

void MainWindow::StopDisc() {
  disc->SetRotateAnimation(false);
  disc->SetRotationAngle(0);
}

void MainWindow::TurnCover() {
  disc->SetPicture(&radio_.Cover());
  disc->SetRotateAnimation(true);
  disc->SetRotationAngle(0);
}

// ---- what the radio shows ----

void MainWindow::ShowSong() {
  const RadioState& state = radio_.State();
  connecting_notice_.stop();
  titleLabel->SetCaption(DisplayCaption(state.song.title));
  singerLabel->SetCaption(DisplayCaption(state.song.singer_name));
  coverHolder->SetPicture(HolderImage(radio_.Cover()));
  singerPictureHolder->SetPicture(HolderImage(radio_.SingerPicture()));
  disc->SetPicture(&radio_.Cover());
  // A song that starts sets the disc turning; its angle stays where it was.
  if (state.play_wanted) disc->SetRotateAnimation(true);
  songProgress->SetMaxValue(state.length_seconds);
  songProgress->SetMinValue(0);
  // The lyrics follow the song: the open panel shows the new song's.
  if (lyricsPanel->Opened()) RequestPanelLyrics();
  song_announcer_.SongShown(DisplayCaption(state.song.title), DisplayCaption(state.song.singer_name));
  RemoteStateMayHaveChanged();
  emit SongShown();
}

void MainWindow::ShowPhase() {
  const RadioState& state = radio_.State();
  ShowImages(playPauseButton, state.OffersPause() ? kPauseBars : kPlayTriangle);
  if (!state.audio_playing && state.phase != PlayPhase::Loading) StopDisc();
  if (state.phase == PlayPhase::GivenUp) ShowGivenUp();
  if (state.phase == PlayPhase::Loading && !state.give_up_reason.isEmpty()) {
    remainingTimeLabel->SetCaption(QString::fromUtf16(kRetryingText));
    remainingTimeLabel->SetAccessibleName(remainingTimeLabel->Caption());
  }
  RemoteStateMayHaveChanged();
}

void MainWindow::ShowCountdown() {
  const RadioState& state = radio_.State();
  if (state.phase == PlayPhase::GivenUp) {
    remainingTimeLabel->SetCaption(NextTryText(state.SecondsToNextTry()));
    remainingTimeLabel->SetAccessibleName(remainingTimeLabel->Caption());
    return;
  }
  songProgress->SetValue(state.ProgressValue());
  remainingTimeLabel->SetCaption(state.RemainingText());
  // Read as a time; a screen reader does not speak a label's changes, so nothing is heard per
  // second, only the time when the label is reached.
  remainingTimeLabel->SetAccessibleName(SpokenRemainingTime(state.remaining_seconds));
}

void MainWindow::ShowGivenUp() {
  const RadioState& state = radio_.State();
  const QString heading = QString::fromUtf16(kNoStationText);
  // The label cuts the reason before the disc, keeping the whole for its tooltip and for
  // assistive technology; the announcement speaks heading and reason once.
  titleLabel->SetCaption(heading);
  singerLabel->SetCaption(state.give_up_reason + QString::fromUtf16(kTryNowHint));
  song_announcer_.GaveUp(heading, state.give_up_reason);
  StopDisc();
  disc->SetPicture(nullptr);
  coverHolder->SetPicture(QImage());
  singerPictureHolder->SetPicture(QImage());
  songProgress->SetValue(0);
}

void MainWindow::ShowVolume() {
  const RadioState& state = radio_.State();
  ShowImages(muteButton, state.muted ? kMutedLook : kUnmutedLook);
  RememberVolume();
  RemoteStateMayHaveChanged();
}

// ---- volume and mute ----

void MainWindow::muteButtonClick(QObject*) {
  radio_.ToggleMute();
  volumeSlider->SetValue(radio_.State().volume);
  volumeSlider->SetVisible(false);
  announcer_->Announce(QString::fromUtf16(radio_.State().muted ? kMutedAnnouncement : kUnmutedAnnouncement));
  FocusSink();
  // From the keyboard the focus stays on the button, and the slider with it.
  if (VolumeHasFocus()) muteButtonMouseEnter(muteButton);
}

void MainWindow::muteButtonMouseEnter(QObject*) {
  volumeSlider->SetValue(radio_.PlayerVolume());
  volumeSlider->SetVisible(true);
}

void MainWindow::volumeSliderChange(QObject*) { radio_.SetVolume(volumeSlider->Value()); }

void MainWindow::volumeSliderMouseLeave(QObject*) {
  if (!VolumeHasFocus()) volumeSlider->SetVisible(false);
}

QWidget* MainWindow::PreviousTabStop() const {
  QWidget* from = focusWidget();
  if (!from) return nullptr;
  for (QWidget* w = from->previousInFocusChain(); w && w != from; w = w->previousInFocusChain()) {
    if (w == volumeSlider) return w;
    if (w->window() == this && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) return w;
  }
  return nullptr;
}

bool MainWindow::focusNextPrevChild(bool next) {
  if (!next && volumeSlider && !volumeSlider->isVisible() && PreviousTabStop() == volumeSlider) {
    Application::RunGuarded([this] { muteButtonMouseEnter(muteButton); });
    if (volumeSlider->isVisible()) {
      volumeSlider->setFocus(Qt::BacktabFocusReason);
      return true;
    }
  }
  return Form::focusNextPrevChild(next);
}

bool MainWindow::VolumeHasFocus() const { return muteButton->hasFocus() || volumeSlider->hasFocus(); }

void MainWindow::VolumeSliderFollowsFocus(QWidget* before, QWidget* now) {
  // The keyboard reaches the volume as the pointer does: the slider shows while the mute button
  // or the slider has the focus (Tab goes on from the button to the slider), and hides when the
  // focus leaves both, unless the pointer is over it.
  if (!muteButton || !volumeSlider) return;
  const bool was_on_volume = before == muteButton || before == volumeSlider;
  if (now == muteButton || now == volumeSlider) {
    if (!volumeSlider->Visible()) Application::RunGuarded([this] { muteButtonMouseEnter(muteButton); });
  } else if (was_on_volume && !volumeSlider->underMouse()) {
    volumeSlider->SetVisible(false);
  }
}

// ---- the lyrics panel and the notice ----

void MainWindow::lyricsButtonClick(QObject*) {
  ToggleLyricsPanel();
  FocusSink();
}

void MainWindow::lyricsCloseButtonClick(QObject*) { ToggleLyricsPanel(); }

void MainWindow::lyricsPanelClick(QObject*) { ToggleLyricsPanel(); }

void MainWindow::ToggleLyricsPanel() {
  const bool closing = lyricsPanel->Opened();
  // The panel's controls go with it: a focus inside it goes back to the lyrics button.
  if (closing && lyricsPanel->isAncestorOf(QApplication::focusWidget())) lyricsButton->setFocus(Qt::OtherFocusReason);
  lyricsPanel->SetOpened(!closing);
  // The lyrics button tells whether the panel is open (or opening).
  lyricsButton->SetAccessibleExpanded(!closing);
}

void MainWindow::lyricsPanelOpened(QObject*) { RequestPanelLyrics(); }

void MainWindow::RequestPanelLyrics() {
  radio_.RequestLyrics([this](const LyricsAnswer& answer) {
    lyrics_failed_ = answer.failed;
    lyricsText->SetText(answer.text);
  });
}

void MainWindow::lyricsTextClick(QObject*) {
  // The failure's text asks for a click to try again; a click elsewhere in the lyrics is only a
  // click into the text.
  if (!lyrics_failed_ || radio_.LyricsUnderWay()) return;
  lyrics_failed_ = false;
  lyricsText->Clear();
  RequestPanelLyrics();
}

void MainWindow::fontLargerButtonClick(QObject*) {
  LyricsFont().Enlarge();
  LyricsSizeChanged();
}

void MainWindow::fontSmallerButtonClick(QObject*) {
  LyricsFont().Shrink();
  LyricsSizeChanged();
}

LyricsFontSize& MainWindow::LyricsFont() {
  if (!lyrics_font_) lyrics_font_.emplace(*lyricsText->GetFont());
  return *lyrics_font_;
}

void MainWindow::LyricsSizeChanged() {
  ShowLyricsSizeBounds();
  if (settings_) settings_->RememberLyricsSize(LyricsFont().Pixels());
}

void MainWindow::ShowLyricsSizeBounds() {
  // A button that has reached its bound is disabled: it looks so, assistive technology hears so,
  // and the keyboard focus moves on from it.
  fontLargerButton->SetEnabled(LyricsFont().CanEnlarge());
  fontSmallerButton->SetEnabled(LyricsFont().CanShrink());
}

void MainWindow::SetNoticeWindow(Form* notice) {
  notice_ = notice;
  if (!notice_) return;
  // A dialog of this window: the window system keeps it above this one and leaves it out of the
  // task bar.
  notice_->setWindowFlags(notice_->windowFlags() | Qt::Dialog);
}

void MainWindow::TieNoticeToThisWindow() {
  if (!windowHandle()) return;
  notice_->winId();  // its native window, to be tied to this one before it is shown
  QWindow* notice_handle = notice_->windowHandle();
  if (notice_handle && notice_handle->transientParent() != windowHandle()) notice_handle->setTransientParent(windowHandle());
}

void MainWindow::noticeButtonClick(QObject*) {
  if (!notice_) {
    qCWarning(lcUi) << "no notice window to show";
    FocusSink();
    return;
  }
  // After a pointer click the main window is the active one again: the notice appears without
  // being activated (a window manager activates a window it maps after the focus sink has the
  // focus back). From the keyboard the notice takes the focus so that it can be read (Escape
  // closes it, and the focus is back on the button).
  const bool after_pointer_click = Control::PointerClickRunning();
  notice_->setAttribute(Qt::WA_ShowWithoutActivating, after_pointer_click);
  TieNoticeToThisWindow();
  notice_->SetVisible(true);
  notice_->raise();
  if (after_pointer_click) {
    FocusSink();
  } else {
    notice_->activateWindow();
  }
}

void MainWindow::FocusSink() {
  // Only a pointer click parks the focus out of sight, so that no visible control keeps a focused
  // look; a click from the keyboard or assistive technology, or a remote command, leaves the focus
  // (and the active window) as it is.
  if (Control::PointerClickRunning()) SetFocus(focusSink);
}

// ---- the remote control ----

void MainWindow::PlayPause() { playPauseButtonClick(playPauseButton); }

void MainWindow::Next() { nextButtonClick(nextButton); }

void MainWindow::Stop() {
  radio_.Stop();
  StopDisc();
}

const PictureContainer& MainWindow::Cover() const { return radio_.Cover(); }

std::optional<qint64> MainWindow::PlayerPosition() const {
  if (!radio_.HasPlayer()) return std::nullopt;
  try {
    return radio_.PlayerPositionMicroseconds();
  } catch (const Error& error) {
    qCDebug(lcDesktop) << "the player's position could not be read for the remote control:" << error.Message();
    return std::nullopt;
  }
}

void MainWindow::Raise() {
  if (isMinimized()) showNormal();
  SetVisible(true);
  raise();
  activateWindow();
}

void MainWindow::Quit() { close(); }

int MainWindow::Volume() const { return radio_.HasPlayer() ? radio_.State().volume : volumeSlider->Value(); }

void MainWindow::SetVolume(int value) {
  // One volume for the window and the remote control: a volume set while muted is heard, so the
  // muting ends and the mute button shows it.
  radio_.LeaveMuted();
  // The slider's change sets the player's volume; when the slider already stands there (it
  // shows the player's volume only once it has appeared), the player is set directly.
  const int before = volumeSlider->Value();
  volumeSlider->SetValue(value);
  if (volumeSlider->Value() == before) volumeSliderChange(volumeSlider);
}

void MainWindow::RemoteStateMayHaveChanged() {
  if (!remote_announcement_.isActive()) remote_announcement_.start(0);
}

// ---- keys ----

void MainWindow::InstallShortcuts() {
  const auto add = [this](const QKeySequence& keys, bool repeats, auto action) {
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(repeats);
    connect(shortcut, &QShortcut::activated, this, [action] { Application::RunGuarded(action); });
  };
  add(QKeySequence(Qt::Key_Space), false, [this] { PlayPause(); });
  add(QKeySequence(Qt::Key_Right), false, [this] { Next(); });
  add(QKeySequence(Qt::Key_N), false, [this] { Next(); });
  add(QKeySequence(Qt::Key_M), false, [this] { muteButtonClick(muteButton); });
  add(QKeySequence(Qt::Key_Up), true, [this] { StepVolume(kVolumeKeyStep); });
  add(QKeySequence(Qt::Key_Down), true, [this] { StepVolume(-kVolumeKeyStep); });
  add(QKeySequence(Qt::Key_L), false, [this] { ToggleLyricsPanel(); });
  add(QKeySequence(Qt::CTRL | Qt::Key_Q), false, [this] { Quit(); });
  new ControlKeys(channelList, ChannelListKeepsKey);
  new ControlKeys(volumeSlider, VolumeSliderKeepsKey);
  for (TscCustomButtonControl* button : findChildren<TscCustomButtonControl*>()) new ControlKeys(button, ButtonKeepsKey);
}

void MainWindow::StepVolume(int step) {
  const RadioState& state = radio_.State();
  SetVolume((state.muted ? state.saved_volume : Volume()) + step);
}

// ---- what the listener chose in an earlier run ----

void MainWindow::ApplyRememberedListening() {
  if (!settings_) return;
  if (settings_->Channel()) ApplyRememberedChannel(*settings_->Channel());
  if (settings_->Volume() || settings_->Muted()) {
    ApplyRememberedVolume(settings_->Volume().value_or(radio_.PlayerVolume()), settings_->Muted().value_or(false));
  }
  if (settings_->LyricsSize()) {
    LyricsFont().SetPixels(*settings_->LyricsSize());
    ShowLyricsSizeBounds();
  }
}

void MainWindow::ApplyRememberedChannel(const QString& channel_id) {
  if (channel_id == radio_.State().channel_id) return;
  const TscGPListBoxItems* items = channelList->Items();
  for (int index = 0; index < items->Count(); ++index) {
    if (items->Item(index)->Detail() == channel_id) {
      channelList->SetItemIndex(index);  // its change makes it the channel of the first load
      return;
    }
  }
  qCWarning(lcUi) << "The remembered channel" << channel_id << "is not in the channel list: ignored";
}

void MainWindow::ApplyRememberedVolume(int volume, bool muted) {
  const int heard = std::clamp(volume, volumeSlider->MinValue(), volumeSlider->MaxValue());
  if (muted) {
    radio_.RestoreMuted(heard);
  } else {
    radio_.SetVolume(heard);
  }
}

void MainWindow::RememberVolume() {
  const RadioState& state = radio_.State();
  if (settings_ && radio_.HasPlayer()) settings_->RememberVolume(state.muted ? state.saved_volume : state.volume, state.muted);
}

QString MainWindow::ChosenChannelDetail() const {
  const int index = channelList->ItemIndex();
  const TscGPListBoxItem* item = channelList->Items()->Item(index);
  if (!item) throw Error(QStringLiteral("List index out of bounds (%1)").arg(index));
  return item->Detail();
}

}  // namespace orvelle
