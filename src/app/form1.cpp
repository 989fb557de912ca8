#include "app/form1.h"

#include "desktop/remote_command_gate.h"
#include "playback/mpv_media_player.h"
#include "service/error.h"
#include "service/log.h"
#include "service/lyrics_request.h"
#include "toolkit/focus.h"
#include "toolkit/message_box.h"
#include "toolkit/network_wait.h"

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

// The picture a hidden holder shows for a container's graphic.
QImage HolderImage(const PictureContainer& picture) {
  const Graphic* graphic = picture.Graphic();
  return graphic && !graphic->Empty() ? graphic->ToImage() : QImage();
}

}  // namespace

std::unique_ptr<MediaPlayer> MakeProgramMediaPlayer() { return std::make_unique<MpvMediaPlayer>(); }

TForm1::TForm1(PlayState& state, MediaPlayerFactory make_player, QWidget* parent)
    : Form(parent), state_(state), make_player_(std::move(make_player)), loader_(state_, http1_, *this) {
  cover_picture_.OnChange = [this] {
    if (img1) img1->SetPicture(HolderImage(cover_picture_));
    RemoteStateMayHaveChanged();
  };
  singer_picture_.OnChange = [this] {
    if (img2) img2->SetPicture(HolderImage(singer_picture_));
  };
  remote_announcement_.setSingleShot(true);
  connect(&remote_announcement_, &QTimer::timeout, this, &TForm1::AnnounceRemoteState);
}

TForm1::~TForm1() {
  if (state_.MediaPlayer == media_player_.get()) state_.MediaPlayer = nullptr;
}

// ---- start-up and close ----

void TForm1::FormCreate(QObject*) { btn6->SetTop(kFocusSinkTop); }

void TForm1::FormShow(QObject*) {
  // The first show only: showing the window again (after a minimise) starts nothing.
  if (shown_) return;
  shown_ = true;
  CreateMediaPlayer();
  sctrckbr1->SetMaxValue(Player().Volume() + 100);
  sclbl1->SetCaption(QString());
  sclbl2->SetCaption(QString());
  sclbl3->SetCaption(QString());
  img3->SetPicture(nullptr);
  scspltvw1->SetOpened(false);
  FocusSink();
  loader_.ZaiRuGeQu();
}

void TForm1::CreateMediaPlayer() {
  try {
    media_player_ = make_player_();
  } catch (const Error& error) {
    qCWarning(lcUi) << "the media player could not be created:" << error.Message();
    throw;
  }
  state_.MediaPlayer = media_player_.get();
}

void TForm1::FormCloseQuery(QObject*, bool*) {
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

void TForm1::tmr1Timer(QObject*) {
  if (state_.RemainingSeconds <= 0) {
    loader_.ZaiRuGeQu();
  } else {
    sclbl3->SetCaption(loader_.dec1());
  }
}

void TForm1::btn3Click(QObject*) {
  if (state_.IsPlaying == 1) {
    Player().Pause();
    tmr1->SetEnabled(false);
    loader_.CancelRetry();
    StopDisc();
    state_.IsPlaying = 0;
    ShowImages(btn3, kPlayTriangle);
  } else {
    Player().Play();
    tmr1->SetEnabled(true);
    img3->SetPicture(&cover_picture_);
    img3->SetRotateAnimation(true);
    img3->SetRotationAngle(0);
    state_.IsPlaying = 1;
    ShowImages(btn3, kPauseBars);
  }
  RemoteStateMayHaveChanged();
  FocusSink();
}

void TForm1::btn2Click(QObject*) {
  FocusSink();
  mmo1->Clear();
  loader_.ZaiRuGeQu();
  if (scspltvw1->Opened()) mmo1->SetText(zaiRuGeCi(state_, http1_));
}

void TForm1::img3Click(QObject*) { StopDisc(); }

void TForm1::sclbl1MouseEnter(QObject*) {
  StopDisc();
  img3->SetPicture(&cover_picture_);
}

void TForm1::sclbl2MouseEnter(QObject*) {
  StopDisc();
  img3->SetPicture(&singer_picture_);
}

void TForm1::sclbl2MouseLeave(QObject*) {
  if (state_.IsPlaying == 1) img3->SetRotateAnimation(true);
  img3->SetRotationAngle(0);
  img3->SetPicture(&cover_picture_);
}

void TForm1::cbb1Change(QObject*) { loader_.cbb1Change(); }

void TForm1::StopDisc() {
  img3->SetRotateAnimation(false);
  img3->SetRotationAngle(0);
}

// ---- volume and mute ----

void TForm1::btn5Click(QObject*) {
  if (!state_.IsMuted) {
    state_.SavedVolume = Player().Volume();
    state_.IsMuted = true;
    ShowImages(btn5, kMutedLook);
    Player().SetVolume(0);
    sctrckbr1->SetValue(0);
  } else {
    state_.IsMuted = false;
    ShowImages(btn5, kUnmutedLook);
    Player().SetVolume(state_.SavedVolume);
    sctrckbr1->SetValue(state_.SavedVolume);
  }
  sctrckbr1->SetVisible(false);
  RemoteStateMayHaveChanged();
  FocusSink();
}

void TForm1::btn5MouseEnter(QObject*) {
  sctrckbr1->SetValue(Player().Volume());
  sctrckbr1->SetVisible(true);
}

void TForm1::sctrckbr1Change(QObject*) {
  Player().SetVolume(sctrckbr1->Value());
  RemoteStateMayHaveChanged();
}

void TForm1::sctrckbr1MouseLeave(QObject*) { sctrckbr1->SetVisible(false); }

// ---- the lyrics panel and the notice ----

void TForm1::btn4Click(QObject*) {
  ToggleLyricsPanel();
  FocusSink();
}

void TForm1::btn1Click(QObject*) { ToggleLyricsPanel(); }

void TForm1::scspltvw1Click(QObject*) { ToggleLyricsPanel(); }

void TForm1::ToggleLyricsPanel() { scspltvw1->SetOpened(!scspltvw1->Opened()); }

void TForm1::scspltvw1Opened(QObject*) { mmo1->SetText(zaiRuGeCi(state_, http1_)); }

void TForm1::btn7Click(QObject*) { LyricsFont().Enlarge(); }

void TForm1::btn8Click(QObject*) { LyricsFont().Shrink(); }

LyricsFontSize& TForm1::LyricsFont() {
  if (!lyrics_font_) lyrics_font_.emplace(*mmo1->GetFont());
  return *lyrics_font_;
}

void TForm1::btn9Click(QObject*) {
  if (notice_) {
    notice_->SetVisible(true);
    notice_->raise();
  } else {
    qCWarning(lcUi) << "no notice window to show";
  }
  FocusSink();
}

void TForm1::FocusSink() { SetFocus(btn6); }

// ---- the remote control ----

void TForm1::PlayPause() { btn3Click(btn3); }

void TForm1::Next() { btn2Click(btn2); }

void TForm1::Raise() {
  if (isMinimized()) showNormal();
  SetVisible(true);
  raise();
  activateWindow();
}

void TForm1::Quit() { close(); }

int TForm1::Volume() const {
  if (!state_.MediaPlayer) return sctrckbr1->Value();
  try {
    return state_.MediaPlayer->Volume();
  } catch (const Error& error) {
    qCDebug(lcPlayer) << "the volume could not be read for the remote control:" << error.Message();
    return sctrckbr1->Value();
  }
}

void TForm1::SetVolume(int value) {
  // The slider's change sets the player's volume; when the slider already stands there (it
  // shows the player's volume only once it has appeared), the player is set directly.
  const int before = sctrckbr1->Value();
  sctrckbr1->SetValue(value);
  if (sctrckbr1->Value() == before) sctrckbr1Change(sctrckbr1);
}

void TForm1::RemoteStateMayHaveChanged() {
  if (!remote_announcement_.isActive()) remote_announcement_.start(0);
}

void TForm1::AnnounceRemoteState() {
  // A sequence waiting for the network or for a box is half-way through a song load or a click:
  // the remote control hears of it once it has ended, never of the steps in between.
  if (MessageBoxOpen() || NetworkWaitInProgress()) {
    remote_announcement_.start(RemoteCommandGate::kHoldPollMilliseconds);
    return;
  }
  NotifyRemoteStateChanged();
}

// ---- what a song load shows ----

MediaPlayer& TForm1::Player() const {
  if (!state_.MediaPlayer) throw Error(QStringLiteral("The media player could not be created"));
  return *state_.MediaPlayer;
}

void TForm1::SetTitleCaption(const QString& text) {
  sclbl1->SetCaption(text);
  RemoteStateMayHaveChanged();
}
void TForm1::SetSingerCaption(const QString& text) { sclbl2->SetCaption(text); }
void TForm1::SetTimeCaption(const QString& text) { sclbl3->SetCaption(text); }
PictureContainer& TForm1::DiscPicture() { return *img3->Picture(); }
void TForm1::SetProgressValue(int value) { scgprgrsbr1->SetValue(value); }
void TForm1::SetProgressMaxValue(int value) { scgprgrsbr1->SetMaxValue(value); }
void TForm1::SetProgressMinValue(int value) { scgprgrsbr1->SetMinValue(value); }
void TForm1::SetCountdownEnabled(bool enabled) {
  tmr1->SetEnabled(enabled);
  RemoteStateMayHaveChanged();
}
void TForm1::SetDiscRotating(bool rotating) {
  img3->SetRotateAnimation(rotating);
  RemoteStateMayHaveChanged();
}

QString TForm1::ChosenChannelDetail() const {
  const int index = cbb1->ItemIndex();
  const TscGPListBoxItem* item = cbb1->Items()->Item(index);
  if (!item) throw Error(QStringLiteral("List index out of bounds (%1)").arg(index));
  return item->Detail();
}

}  // namespace orvelle
