#include "app/main_window.h"

#include "desktop/remote_command_gate.h"
#include "playback/mpv_media_player.h"
#include "radio/lyrics_request.h"
#include "service/error.h"
#include "service/log.h"
#include "toolkit/application.h"
#include "toolkit/focus.h"
#include "toolkit/message_box.h"
#include "toolkit/network_wait.h"

#include <QApplication>

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
  // Focused, the button shows what it shows at rest (its focus frame marks the focus): the hot
  // image of the mute button is the other state's.
  button->SetFocusedImageIndex(images.normal);
}

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
  connect(qApp, &QApplication::focusChanged, this, &MainWindow::VolumeSliderFollowsFocus);
  remote_announcement_.setSingleShot(true);
  connect(&remote_announcement_, &QTimer::timeout, this, &MainWindow::AnnounceRemoteState);
}

MainWindow::~MainWindow() {
  // The controls go before the window's own connections do: focus changes while they go are not
  // the slider's business.
  disconnect(qApp, &QApplication::focusChanged, this, &MainWindow::VolumeSliderFollowsFocus);
  if (state_.MediaPlayer == media_player_.get()) state_.MediaPlayer = nullptr;
}

// ---- start-up and close ----

void MainWindow::FormCreate(QObject*) { focusSink->SetTop(kFocusSinkTop); }

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
  playPauseButton->SetAccessibleChecked(false);
  muteButton->SetAccessibleChecked(false);
  // The keyboard starts where reading starts: the channel list.
  SetFocus(channelList);
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
  playPauseButton->SetAccessibleChecked(state_.IsPlaying == 1);
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

void MainWindow::channelListChange(QObject*) { loader_.ChannelChanged(); }

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
    muteButton->SetAccessibleChecked(true);
    Player().SetVolume(0);
    volumeSlider->SetValue(0);
  } else {
    state_.IsMuted = false;
    ShowImages(muteButton, kUnmutedLook);
    muteButton->SetAccessibleChecked(false);
    Player().SetVolume(state_.SavedVolume);
    volumeSlider->SetValue(state_.SavedVolume);
  }
  volumeSlider->SetVisible(false);
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
  RemoteStateMayHaveChanged();
}

void MainWindow::volumeSliderMouseLeave(QObject*) {
  if (!VolumeHasFocus()) volumeSlider->SetVisible(false);
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
}

void MainWindow::lyricsPanelOpened(QObject*) { lyricsText->SetText(RequestLyrics(state_, http_)); }

void MainWindow::fontLargerButtonClick(QObject*) { LyricsFont().Enlarge(); }

void MainWindow::fontSmallerButtonClick(QObject*) { LyricsFont().Shrink(); }

LyricsFontSize& MainWindow::LyricsFont() {
  if (!lyrics_font_) lyrics_font_.emplace(*lyricsText->GetFont());
  return *lyrics_font_;
}

void MainWindow::noticeButtonClick(QObject*) {
  if (!notice_) {
    qCWarning(lcUi) << "no notice window to show";
    FocusSink();
    return;
  }
  notice_->SetVisible(true);
  notice_->raise();
  // After a pointer click the main window is the active one again; from the keyboard the notice
  // takes the focus so that it can be read (Escape closes it, and the focus is back on the button).
  if (Control::PointerClickRunning()) {
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
  // The slider's change sets the player's volume; when the slider already stands there (it
  // shows the player's volume only once it has appeared), the player is set directly.
  const int before = volumeSlider->Value();
  volumeSlider->SetValue(value);
  if (volumeSlider->Value() == before) volumeSliderChange(volumeSlider);
}

void MainWindow::RemoteStateMayHaveChanged() {
  if (!remote_announcement_.isActive()) remote_announcement_.start(0);
}

void MainWindow::AnnounceRemoteState() {
  // A sequence waiting for the network or for a box is half-way through a song load or a click:
  // the remote control hears of it once it has ended, never of the steps in between.
  if (MessageBoxOpen() || NetworkWaitInProgress()) {
    remote_announcement_.start(RemoteCommandGate::kHoldPollMilliseconds);
    return;
  }
  NotifyRemoteStateChanged();
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
  // The disc starts turning when a song starts playing.
  if (rotating) playPauseButton->SetAccessibleChecked(true);
  RemoteStateMayHaveChanged();
}

QString MainWindow::ChosenChannelDetail() const {
  const int index = channelList->ItemIndex();
  const TscGPListBoxItem* item = channelList->Items()->Item(index);
  if (!item) throw Error(QStringLiteral("List index out of bounds (%1)").arg(index));
  return item->Detail();
}

}  // namespace orvelle
