#include "app/main_window.h"

#include "desktop/remote_command_gate.h"
#include "playback/mpv_media_player.h"
#include "radio/lyrics_request.h"
#include "service/error.h"
#include "service/log.h"
#include "service/service_text.h"
#include "toolkit/application.h"
#include "toolkit/focus.h"
#include "toolkit/message_box.h"
#include "toolkit/network_wait.h"

#include <QKeyEvent>
#include <QShortcut>
#include <QWindow>

#include <algorithm>

namespace orvelle {
namespace {

// The image pairs (normal, hot) of the play/pause and mute buttons.
struct ImagePair {
  int normal;
  int hot;
};
constexpr ImagePair kPauseBars{2, 3};
constexpr ImagePair kPlayTriangle{11, 12};
constexpr ImagePair kMutedLook{1, 2};
constexpr ImagePair kUnmutedLook{3, 0};

// Where FormCreate puts the focus sink: far above the visible area.
constexpr int kFocusSinkTop = -2000;

void ShowImages(TscGPButton* button, ImagePair images) {
  button->SetImageIndex(images.normal);
  button->SetHotImageIndex(images.hot);
}

// Whether the channel list uses the key itself, so that the window's keys leave it to the list
// while it has the focus: the moves through the list, opening and closing it, and the letters and
// digits it jumps to a channel by. Space and Ctrl+Q stay the window's.
bool ChannelListKeepsKey(const QKeyEvent& key) {
  switch (key.key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      return true;
    default:
      break;
  }
  const QString text = key.text();
  return !text.isEmpty() && text.front() > u' ' && !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

// Claims the keys ChannelListKeepsKey names for the channel list while it has the focus: a claimed
// key goes to the list instead of starting the window's shortcut.
class ChannelListKeys : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ShortcutOverride && ChannelListKeepsKey(*static_cast<QKeyEvent*>(event))) {
      event->accept();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }
};

// The picture a hidden holder shows for a container's graphic.
QImage HolderImage(const PictureContainer& picture) {
  const Graphic* graphic = picture.Graphic();
  return graphic && !graphic->Empty() ? graphic->ToImage() : QImage();
}

}  // namespace

std::unique_ptr<MediaPlayer> MakeProgramMediaPlayer() { return std::make_unique<MpvMediaPlayer>(); }

MainWindow::MainWindow(PlayState& state, MediaPlayerFactory make_player, QWidget* parent)
    : Form(parent), state_(state), make_player_(std::move(make_player)), loader_(state_, http_, *this) {
  cover_picture_.OnChange = [this] {
    if (coverHolder) coverHolder->SetPicture(HolderImage(cover_picture_));
    RemoteStateMayHaveChanged();
  };
  singer_picture_.OnChange = [this] {
    if (singerPictureHolder) singerPictureHolder->SetPicture(HolderImage(singer_picture_));
  };
  remote_announcement_.setSingleShot(true);
  connect(&remote_announcement_, &QTimer::timeout, this, &MainWindow::AnnounceRemoteState);
}

MainWindow::~MainWindow() {
  if (state_.MediaPlayer == media_player_.get()) state_.MediaPlayer = nullptr;
}

// ---- start-up and close ----

void MainWindow::FormCreate(QObject*) {
  focusSink->SetTop(kFocusSinkTop);
  InstallShortcuts();
}

void MainWindow::FormShow(QObject*) {
  // The first show only: showing the window again (after a minimise) starts nothing.
  if (shown_) return;
  shown_ = true;
  CreateMediaPlayer();
  volumeSlider->SetMaxValue(Player().Volume() + 100);
  titleLabel->SetCaption(QString());
  singerLabel->SetCaption(QString());
  remainingTimeLabel->SetCaption(QString());
  disc->SetPicture(nullptr);
  lyricsPanel->SetOpened(false);
  ApplyRememberedListening();
  FocusSink();
  loader_.LoadNextSong();
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
  // The window always closes; the audio stops first. A player that is missing or fails to stop
  // does not hold the closing up.
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
  if (state_.RemainingSeconds <= 0) {
    loader_.LoadNextSong();
  } else {
    remainingTimeLabel->SetCaption(loader_.CountDown());
  }
}

void MainWindow::playPauseButtonClick(QObject*) {
  if (state_.IsPlaying == 1) {
    Player().Pause();
    countdownTimer->SetEnabled(false);
    loader_.CancelRetry();
    StopDisc();
    state_.IsPlaying = 0;
    ShowImages(playPauseButton, kPlayTriangle);
  } else {
    Player().Play();
    countdownTimer->SetEnabled(true);
    disc->SetPicture(&cover_picture_);
    disc->SetRotateAnimation(true);
    disc->SetRotationAngle(0);
    state_.IsPlaying = 1;
    ShowImages(playPauseButton, kPauseBars);
  }
  RemoteStateMayHaveChanged();
  FocusSink();
}

void MainWindow::nextButtonClick(QObject*) {
  FocusSink();
  lyricsText->Clear();
  loader_.LoadNextSong();
  if (lyricsPanel->Opened()) lyricsText->SetText(RequestLyrics(state_, http_));
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
  RememberVolume();
  RemoteStateMayHaveChanged();
  FocusSink();
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

void MainWindow::volumeSliderMouseLeave(QObject*) { volumeSlider->SetVisible(false); }

// ---- the lyrics panel and the notice ----

void MainWindow::lyricsButtonClick(QObject*) {
  ToggleLyricsPanel();
  FocusSink();
}

void MainWindow::lyricsCloseButtonClick(QObject*) { ToggleLyricsPanel(); }

void MainWindow::lyricsPanelClick(QObject*) { ToggleLyricsPanel(); }

void MainWindow::ToggleLyricsPanel() { lyricsPanel->SetOpened(!lyricsPanel->Opened()); }

void MainWindow::lyricsPanelOpened(QObject*) { lyricsText->SetText(RequestLyrics(state_, http_)); }

void MainWindow::fontLargerButtonClick(QObject*) { LyricsFont().Enlarge(); }

void MainWindow::fontSmallerButtonClick(QObject*) { LyricsFont().Shrink(); }

LyricsFontSize& MainWindow::LyricsFont() {
  if (!lyrics_font_) lyrics_font_.emplace(*lyricsText->GetFont());
  return *lyrics_font_;
}

void MainWindow::SetNoticeWindow(Form* notice) {
  notice_ = notice;
  if (!notice_) return;
  // A dialog of this window: the window system keeps it above this one and leaves it out of the
  // task bar. It appears without being activated, so that this window stays the active one: a
  // window manager activates a window it maps after the focus sink has the focus back.
  notice_->setWindowFlags(notice_->windowFlags() | Qt::Dialog);
  notice_->setAttribute(Qt::WA_ShowWithoutActivating);
}

void MainWindow::noticeButtonClick(QObject*) {
  if (notice_) {
    notice_->winId();  // its native window, to be tied to this one before it is shown
    if (QWindow* notice_handle = notice_->windowHandle()) notice_handle->setTransientParent(windowHandle());
    notice_->SetVisible(true);
    notice_->raise();
  } else {
    qCWarning(lcUi) << "no notice window to show";
  }
  FocusSink();
}

void MainWindow::FocusSink() { SetFocus(focusSink); }

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

void MainWindow::AnnounceRemoteState() {
  // A sequence waiting for the network or for a box is half-way through a song load or a click:
  // the remote control hears of it once it has ended, never of the steps in between.
  if (MessageBoxOpen() || NetworkWaitInProgress()) {
    remote_announcement_.start(RemoteCommandGate::kHoldPollMilliseconds);
    return;
  }
  if (state_.IsPlaying == 1) stopped_ = false;
  NotifyRemoteStateChanged();
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
  channelList->installEventFilter(new ChannelListKeys(channelList));
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
  titleLabel->SetCaption(text);
  RemoteStateMayHaveChanged();
}
void MainWindow::SetSingerCaption(const QString& text) { singerLabel->SetCaption(text); }
void MainWindow::SetTimeCaption(const QString& text) { remainingTimeLabel->SetCaption(text); }
PictureContainer& MainWindow::DiscPicture() { return *disc->Picture(); }
void MainWindow::SetProgressValue(int value) { songProgress->SetValue(value); }
void MainWindow::SetProgressMaxValue(int value) { songProgress->SetMaxValue(value); }
void MainWindow::SetProgressMinValue(int value) { songProgress->SetMinValue(value); }
void MainWindow::SetCountdownEnabled(bool enabled) {
  countdownTimer->SetEnabled(enabled);
  RemoteStateMayHaveChanged();
}
void MainWindow::SetDiscRotating(bool rotating) {
  disc->SetRotateAnimation(rotating);
  RemoteStateMayHaveChanged();
}

QString MainWindow::ChosenChannelDetail() const {
  const int index = channelList->ItemIndex();
  const TscGPListBoxItem* item = channelList->Items()->Item(index);
  if (!item) throw Error(QStringLiteral("List index out of bounds (%1)").arg(index));
  return item->Detail();
}

}  // namespace orvelle
