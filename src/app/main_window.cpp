#include "app/main_window.h"

#include "playback/gst_media_player.h"
#include "radio/lyrics_request.h"
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

MainWindow::MainWindow(PlayState& state, MediaPlayerFactory make_player, QWidget* parent)
    : Form(parent),
      state_(state),
      make_player_(std::move(make_player)),
      requests_(http_),
      loader_(state_, requests_, *this),
      announcer_(new Announcer(this)),
      song_announcer_(*this, *announcer_),
      unseen_count_([this] { return TakeCountdownStep(); }, [this] { return CountdownStepsToRunOut(); }) {
  cover_picture_.OnChange = [this] {
    if (coverHolder) coverHolder->SetPicture(HolderImage(cover_picture_));
    RemoteStateMayHaveChanged();
  };
  singer_picture_.OnChange = [this] {
    if (singerPictureHolder) singerPictureHolder->SetPicture(HolderImage(singer_picture_));
  };
  connect(qApp, &QApplication::focusChanged, this, &MainWindow::VolumeSliderFollowsFocus);
  remote_announcement_.setSingleShot(true);
  connect(&remote_announcement_, &QTimer::timeout, this, [this] {
    // Half-way through a load the play state already holds parts of the next song: the desktop
    // hears of it once the load has ended (LoadEnded announces), never of the steps between.
    if (!loader_.Loading()) NotifyRemoteStateChanged();
  });
  connecting_notice_.setSingleShot(true);
  connecting_notice_.setInterval(kConnectingNoticeMilliseconds);
  connect(&connecting_notice_, &QTimer::timeout, this, &MainWindow::ShowConnecting);
}

MainWindow::~MainWindow() {
  AbandonRequests();
  // The controls go before the window's own connections do: focus changes while they go are not
  // the slider's business.
  disconnect(qApp, &QApplication::focusChanged, this, &MainWindow::VolumeSliderFollowsFocus);
  if (state_.MediaPlayer == media_player_.get()) state_.MediaPlayer = nullptr;
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
  CreateMediaPlayer();
  qCDebug(lcUi) << "start-up: the first show made the media player in" << creating.elapsed() << "ms";
  volumeSlider->SetMaxValue(Player().Volume() + 100);
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
  ApplyRememberedListening();
  // The keyboard starts on the play/pause button, where none of the window's keys is taken by
  // the control itself.
  SetFocus(playPauseButton);
  connecting_notice_.start();
  loader_.LoadNextSong();
}

void MainWindow::ShowConnecting() {
  if (song_shown_ || !loader_.Loading()) return;
  titleLabel->SetCaption(QString::fromUtf16(kConnectingText));
  singerLabel->SetCaption(ServiceBase());
}

void MainWindow::CreateMediaPlayer() {
  try {
    media_player_ = make_player_();
  } catch (const Error& error) {
    qCWarning(lcUi) << "the media player could not be created:" << error.Message();
    throw;
  }
  state_.MediaPlayer = media_player_.get();
}

void MainWindow::FormCloseQuery(QObject*, bool*) {
  // The window always closes, at once: what waits for the network is dropped, so nothing more
  // is shown, and the audio stops. A player that is missing or fails to stop does not hold the
  // closing up.
  AbandonRequests();
  if (!state_.MediaPlayer) {
    qCDebug(lcPlayer) << "closing without a media player";
    return;
  }
  try {
    state_.MediaPlayer->Stop();
  } catch (const std::exception& error) {
    qCDebug(lcPlayer) << "stopping the player at close failed:" << error.what();
  }
}

// ---- the playback cycle ----

void MainWindow::countdownTimerTick(QObject*) {
  if (unseen_count_.Active()) {
    unseen_count_.Tick(*countdownTimer);
    return;
  }
  unseen_count_.NoteSeenTick(*countdownTimer);
  TakeCountdownStep();
}

bool MainWindow::TakeCountdownStep() {
  // A load under way has the next song on its way; the count waits for it.
  if (loader_.Loading()) return false;
  if (state_.RemainingSeconds <= 0) {
    loader_.LoadNextSong();
  } else {
    SetTimeCaption(loader_.CountDown());
  }
  return !loader_.Loading();
}

int MainWindow::CountdownStepsToRunOut() const {
  // The count runs down to zero, and the step after zero loads the next song.
  return state_.RemainingSeconds > 0 ? state_.RemainingSeconds + 1 : 1;
}

void MainWindow::RunCountdown(bool run) {
  if (!run) unseen_count_.CatchUpWithoutLoading();
  countdownTimer->SetEnabled(run);
  if (run) unseen_count_.Restart(*countdownTimer);
}

PlayState& MainWindow::State() const {
  // Read while the window is not seen, the count is brought up to the present first.
  unseen_count_.CatchUpWithoutLoading();
  return state_;
}

void MainWindow::showEvent(QShowEvent* event) {
  Form::showEvent(event);
  if (countdownTimer) unseen_count_.End(*countdownTimer);
}

void MainWindow::hideEvent(QHideEvent* event) {
  Form::hideEvent(event);
  // Also sent, spontaneously, when the window is minimised.
  if (countdownTimer) unseen_count_.Begin(*countdownTimer);
}

void MainWindow::playPauseButtonClick(QObject*) {
  // While a song is on its way the button does what it shows; otherwise it pauses what plays.
  const bool pause = loader_.Loading() ? playPauseButton->ImageIndex() == kPauseBars.normal : state_.IsPlaying == 1;
  if (pause) {
    Pause();
  } else {
    Resume();
  }
  announcer_->Announce(QString::fromUtf16(pause ? kPausedAnnouncement : kPlayingAnnouncement));
  RemoteStateMayHaveChanged();
  FocusSink();
}

void MainWindow::Pause() {
  Player().Pause();
  RunCountdown(false);
  loader_.CancelRetry();
  StopDisc();
  state_.IsPlaying = 0;
  ShowImages(playPauseButton, kPlayTriangle);
  if (loader_.Loading()) paused_during_load_ = true;
}

void MainWindow::Resume() {
  paused_during_load_ = false;
  ShowImages(playPauseButton, kPauseBars);
  const bool after_give_up = std::exchange(given_up_look_, false);
  // A song on its way starts when it comes.
  if (loader_.Loading()) return;
  if (after_give_up) {
    // Music asked for after a give-up: the next load is tried now.
    loader_.LoadNextSong();
    return;
  }
  Player().Play();
  RunCountdown(true);
  disc->SetPicture(&cover_picture_);
  disc->SetRotateAnimation(true);
  disc->SetRotationAngle(0);
  state_.IsPlaying = 1;
}

void MainWindow::nextButtonClick(QObject*) {
  FocusSink();
  lyricsText->Clear();
  if (lyrics_request_ != 0) requests_.Cancel(std::exchange(lyrics_request_, 0));
  paused_during_load_ = false;
  loader_.LoadNextSong();
}

void MainWindow::discClick(QObject*) { StopDisc(); }

void MainWindow::titleLabelMouseEnter(QObject*) {
  StopDisc();
  disc->SetPicture(&cover_picture_);
}

void MainWindow::singerLabelMouseEnter(QObject*) {
  StopDisc();
  disc->SetPicture(&singer_picture_);
}

void MainWindow::singerLabelMouseLeave(QObject*) {
  if (state_.IsPlaying == 1) disc->SetRotateAnimation(true);
  disc->SetRotationAngle(0);
  disc->SetPicture(&cover_picture_);
}

void MainWindow::channelListChange(QObject*) {
  loader_.ChannelChanged();
  if (settings_) settings_->RememberChannel(state_.ChannelId);
}

void MainWindow::StopDisc() {
  disc->SetRotateAnimation(false);
  disc->SetRotationAngle(0);
}

// ---- volume and mute ----

void MainWindow::muteButtonClick(QObject*) {
  if (!state_.IsMuted) {
    state_.SavedVolume = Player().Volume();
    state_.IsMuted = true;
    ShowImages(muteButton, kMutedLook);
    Player().SetVolume(0);
    volumeSlider->SetValue(0);
  } else {
    state_.IsMuted = false;
    ShowImages(muteButton, kUnmutedLook);
    Player().SetVolume(state_.SavedVolume);
    volumeSlider->SetValue(state_.SavedVolume);
  }
  volumeSlider->SetVisible(false);
  announcer_->Announce(QString::fromUtf16(state_.IsMuted ? kMutedAnnouncement : kUnmutedAnnouncement));
  RememberVolume();
  RemoteStateMayHaveChanged();
  FocusSink();
  // From the keyboard the focus stays on the button, and the slider with it.
  if (VolumeHasFocus()) muteButtonMouseEnter(muteButton);
}

void MainWindow::muteButtonMouseEnter(QObject*) {
  volumeSlider->SetValue(Player().Volume());
  volumeSlider->SetVisible(true);
}

void MainWindow::volumeSliderChange(QObject*) {
  Player().SetVolume(volumeSlider->Value());
  RememberVolume();
  RemoteStateMayHaveChanged();
}

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
  if (lyrics_request_ != 0) requests_.Cancel(std::exchange(lyrics_request_, 0));
  const ClientRequests::Id request = RequestLyrics(state_, requests_, [this](const LyricsAnswer& answer) {
    lyrics_request_ = 0;
    lyrics_failed_ = answer.failed;
    lyricsText->SetText(answer.text);
  });
  // 0 when the answer came at once (no song to ask for).
  lyrics_request_ = request;
}

void MainWindow::lyricsTextClick(QObject*) {
  // The failure's text asks for a click to try again; a click elsewhere in the lyrics is only a
  // click into the text.
  if (!lyrics_failed_ || lyrics_request_ != 0) return;
  lyrics_failed_ = false;
  lyricsText->Clear();
  RequestPanelLyrics();
}

void MainWindow::AbandonRequests() {
  loader_.Abandon();
  connecting_notice_.stop();
  if (lyrics_request_ != 0) requests_.Cancel(std::exchange(lyrics_request_, 0));
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
  if (state_.IsPlaying == 1) PlayPause();  // the countdown held, the disc still, the play look
  Player().Stop();
  // The song plays again from its beginning: the countdown and the progress stand where a load
  // puts them.
  if (!state_.CurrentSong.url.isEmpty()) {
    state_.RemainingSeconds = TextToInt(state_.CurrentSong.length);
    SetTimeCaption(loader_.CountDown());
  }
  stopped_ = true;
  RemoteStateMayHaveChanged();
}

const PictureContainer& MainWindow::Cover() const {
  const Graphic* cover = cover_picture_.Graphic();
  if ((cover && !cover->Empty()) || !disc) return cover_picture_;
  return *disc->Picture();
}

void MainWindow::Raise() {
  if (isMinimized()) showNormal();
  SetVisible(true);
  raise();
  activateWindow();
}

void MainWindow::Quit() { close(); }

int MainWindow::Volume() const {
  if (!state_.MediaPlayer) return volumeSlider->Value();
  try {
    return state_.MediaPlayer->Volume();
  } catch (const Error& error) {
    qCDebug(lcPlayer) << "the volume could not be read for the remote control:" << error.Message();
    return volumeSlider->Value();
  }
}

void MainWindow::SetVolume(int value) {
  // One volume for the window and the remote control: a volume set while muted is heard, so the
  // muting ends and the mute button shows it.
  if (state_.IsMuted) LeaveMuted();
  // The slider's change sets the player's volume; when the slider already stands there (it
  // shows the player's volume only once it has appeared), the player is set directly.
  const int before = volumeSlider->Value();
  volumeSlider->SetValue(value);
  if (volumeSlider->Value() == before) volumeSliderChange(volumeSlider);
}

void MainWindow::RemoteStateMayHaveChanged() {
  if (state_.IsPlaying == 1) stopped_ = false;
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
  const int heard = state_.IsMuted ? state_.SavedVolume : Volume();
  SetVolume(heard + step);
}

void MainWindow::LeaveMuted() {
  state_.IsMuted = false;
  ShowImages(muteButton, kUnmutedLook);
}

// ---- what the listener chose in an earlier run ----

void MainWindow::ApplyRememberedListening() {
  if (!settings_) return;
  if (settings_->Channel()) ApplyRememberedChannel(*settings_->Channel());
  if (settings_->Volume() || settings_->Muted()) {
    ApplyRememberedVolume(settings_->Volume().value_or(Player().Volume()), settings_->Muted().value_or(false));
  }
  if (settings_->LyricsSize()) {
    LyricsFont().SetPixels(*settings_->LyricsSize());
    ShowLyricsSizeBounds();
  }
}

void MainWindow::ApplyRememberedChannel(const QString& channel_id) {
  if (channel_id == state_.ChannelId) return;
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
    state_.SavedVolume = heard;
    state_.IsMuted = true;
    ShowImages(muteButton, kMutedLook);
    Player().SetVolume(0);
  } else {
    Player().SetVolume(heard);
  }
}

void MainWindow::RememberVolume() {
  if (settings_ && state_.MediaPlayer) settings_->RememberVolume(state_.IsMuted ? state_.SavedVolume : Volume(), state_.IsMuted);
}

// ---- what a song load shows ----

MediaPlayer& MainWindow::Player() const {
  if (!state_.MediaPlayer) throw Error(QStringLiteral("The media player could not be created"));
  return *state_.MediaPlayer;
}

void MainWindow::SetTitleCaption(const QString& text) {
  titleLabel->SetCaption(DisplayCaption(text));
  RemoteStateMayHaveChanged();
}
void MainWindow::SetSingerCaption(const QString& text) { singerLabel->SetCaption(DisplayCaption(text)); }
void MainWindow::SetTimeCaption(const QString& text) {
  remainingTimeLabel->SetCaption(text);
  // Read as a time; a screen reader does not speak a label's changes, so nothing is heard per
  // second, only the time when the label is reached.
  remainingTimeLabel->SetAccessibleName(text.isEmpty() ? SpokenRemainingTimeNone()
                                                       : SpokenRemainingTime(state_.RemainingSeconds));
}
PictureContainer& MainWindow::DiscPicture() { return *disc->Picture(); }
void MainWindow::SetProgressValue(int value) { songProgress->SetValue(value); }
void MainWindow::SetProgressMaxValue(int value) { songProgress->SetMaxValue(value); }
void MainWindow::SetProgressMinValue(int value) { songProgress->SetMinValue(value); }
void MainWindow::SetCountdownEnabled(bool enabled) {
  RunCountdown(enabled);
  RemoteStateMayHaveChanged();
}
void MainWindow::SetDiscRotating(bool rotating) {
  disc->SetRotateAnimation(rotating);
  RemoteStateMayHaveChanged();
}

void MainWindow::LoadEnded(LoadEnd end) {
  connecting_notice_.stop();
  if (end == LoadEnd::GaveUp) {
    // The whole reason, before the label cuts it.
    song_announcer_.GaveUp(titleLabel->Caption(), singerLabel->Caption());
    ShowGivenUp();
  } else if (end == LoadEnd::SongShown) {
    song_announcer_.SongShown(DisplayCaption(state_.CurrentSong.title), DisplayCaption(state_.CurrentSong.singer_name));
    song_shown_ = true;
    emit SongShown();
    // A song that plays ends the give-up's look.
    if (given_up_look_ && state_.IsPlaying == 1) {
      given_up_look_ = false;
      ShowImages(playPauseButton, kPauseBars);
    }
  }
  paused_during_load_ = false;
  // The lyrics follow the song: the open panel shows the new song's.
  if (lyricsPanel->Opened()) RequestPanelLyrics();
  RemoteStateMayHaveChanged();
}

void MainWindow::ShowGivenUp() {
  StopDisc();
  songProgress->SetValue(0);  // no song is under way
  given_up_look_ = true;
  ShowImages(playPauseButton, kPlayTriangle);
  if (state_.IsPlaying == 1) {
    state_.IsPlaying = 0;
    try {
      Player().Pause();
    } catch (const Error& error) {
      qCWarning(lcPlayer) << "pausing the player after a give-up failed:" << error.Message();
    }
  }
}

QString MainWindow::ChosenChannelDetail() const {
  const int index = channelList->ItemIndex();
  const TscGPListBoxItem* item = channelList->Items()->Item(index);
  if (!item) throw Error(QStringLiteral("List index out of bounds (%1)").arg(index));
  return item->Detail();
}

}  // namespace orvelle
