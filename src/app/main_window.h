#pragma once

#include "controls/gp_button.h"
#include "controls/gp_combo_box.h"
#include "controls/gp_image.h"
#include "controls/label.h"
#include "controls/memo.h"
#include "controls/gp_progress_bar.h"
#include "controls/split_view.h"
#include "controls/track_bar.h"
#include "desktop/listener_settings.h"
#include "desktop/remote_control_target.h"
#include "lyrics/lyrics_font_size.h"
#include "playback/media_player.h"
#include "app/song_announcer.h"
#include "radio/radio.h"
#include "service/picture/picture_container.h"
#include "toolkit/announcer.h"
#include "toolkit/form.h"
#include "toolkit/image_list.h"
#include "toolkit/panel.h"
#include "toolkit/picture_holder.h"
#include "toolkit/push_button.h"

#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace orvelle {

class CloseRequests;

// The main window: the song on show (title, singer, remaining time, cover disc, progress), the
// transport, volume and lyrics controls and the channel chooser, built from
// ":/layouts/main_window.json". It owns the Radio, renders its state and forwards the listener's
// input to it; it writes no play state of its own.
// Its handlers are bound by the layout; each runs through the application's guard, so an error
// it throws is shown in the default error box. The desktop's remote control (media keys, the sound
// menu) sees it and works it as a RemoteControlTarget, through the same handlers.
class MainWindow : public Form, public RemoteControlTarget {
  Q_OBJECT
  Q_PROPERTY(orvelle::PictureHolder* coverHolder MEMBER coverHolder)
  Q_PROPERTY(orvelle::PictureHolder* singerPictureHolder MEMBER singerPictureHolder)
  Q_PROPERTY(orvelle::Panel* playerPanel MEMBER playerPanel)
  Q_PROPERTY(orvelle::TscGPButton* nextButton MEMBER nextButton)
  Q_PROPERTY(orvelle::TscGPButton* playPauseButton MEMBER playPauseButton)
  Q_PROPERTY(orvelle::TscGPImage* disc MEMBER disc)
  Q_PROPERTY(orvelle::TscLabel* titleLabel MEMBER titleLabel)
  Q_PROPERTY(orvelle::TscLabel* singerLabel MEMBER singerLabel)
  Q_PROPERTY(orvelle::TscLabel* remainingTimeLabel MEMBER remainingTimeLabel)
  Q_PROPERTY(orvelle::TscTrackBar* volumeSlider MEMBER volumeSlider)
  Q_PROPERTY(orvelle::TscGPButton* lyricsButton MEMBER lyricsButton)
  Q_PROPERTY(orvelle::TscGPComboBox* channelList MEMBER channelList)
  Q_PROPERTY(orvelle::TscGPProgressBar* songProgress MEMBER songProgress)
  Q_PROPERTY(orvelle::TscGPButton* muteButton MEMBER muteButton)
  Q_PROPERTY(orvelle::PushButton* focusSink MEMBER focusSink)
  Q_PROPERTY(orvelle::TscGPButton* noticeButton MEMBER noticeButton)
  Q_PROPERTY(orvelle::TscSplitView* lyricsPanel MEMBER lyricsPanel)
  Q_PROPERTY(orvelle::PushButton* lyricsCloseButton MEMBER lyricsCloseButton)
  Q_PROPERTY(orvelle::TscMemo* lyricsText MEMBER lyricsText)
  Q_PROPERTY(orvelle::TscGPButton* fontLargerButton MEMBER fontLargerButton)
  Q_PROPERTY(orvelle::TscGPButton* fontSmallerButton MEMBER fontSmallerButton)
  Q_PROPERTY(orvelle::ImageList* speakerFontIcons MEMBER speakerFontIcons)
  Q_PROPERTY(orvelle::ImageList* transportIcons MEMBER transportIcons)

 public:
  static constexpr char kLayout[] = ":/layouts/main_window.json";

  // `make_player` makes the media player at the first show (the program's is
  // MakeProgramMediaPlayer).
  explicit MainWindow(MediaPlayerFactory make_player, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The notice window that noticeButton shows; it becomes a dialog of this window.
  void SetNoticeWindow(Form* notice);
  // Where the window remembers the chosen channel, the volume with its muting and the lyrics' size,
  // and from where it takes them back when it is first shown; none (the default): nothing is
  // remembered.
  void SetListenerSettings(ListenerSettings* settings) { settings_ = settings; }

  // How far the Up and Down keys move the volume.
  static constexpr int kVolumeKeyStep = 5;

  // The playback cycle the window shows and works.
  orvelle::Radio& Radio() { return radio_; }
  const RadioState& State() const override { return radio_.State(); }
  // Whether a song load is under way.
  bool LoadUnderWay() const { return radio_.LoadUnderWay(); }

  PictureHolder* coverHolder = nullptr;
  PictureHolder* singerPictureHolder = nullptr;
  Panel* playerPanel = nullptr;
  TscGPButton* nextButton = nullptr;
  TscGPButton* playPauseButton = nullptr;
  TscGPImage* disc = nullptr;
  TscLabel* titleLabel = nullptr;
  TscLabel* singerLabel = nullptr;
  TscLabel* remainingTimeLabel = nullptr;
  TscTrackBar* volumeSlider = nullptr;
  TscGPButton* lyricsButton = nullptr;
  TscGPComboBox* channelList = nullptr;
  TscGPProgressBar* songProgress = nullptr;
  TscGPButton* muteButton = nullptr;
  PushButton* focusSink = nullptr;
  TscGPButton* noticeButton = nullptr;
  TscSplitView* lyricsPanel = nullptr;
  PushButton* lyricsCloseButton = nullptr;
  TscMemo* lyricsText = nullptr;
  TscGPButton* fontLargerButton = nullptr;
  TscGPButton* fontSmallerButton = nullptr;
  ImageList* speakerFontIcons = nullptr;
  ImageList* transportIcons = nullptr;

 public slots:
  // Start-up and close.
  void FormCreate(QObject* sender);
  void FormShow(QObject* sender);
  void FormCloseQuery(QObject* sender, bool* canClose);

  // The playback cycle.
  void playPauseButtonClick(QObject* sender);
  void nextButtonClick(QObject* sender);
  void discClick(QObject* sender);
  void titleLabelMouseEnter(QObject* sender);
  void singerLabelMouseEnter(QObject* sender);
  void singerLabelMouseLeave(QObject* sender);
  void channelListChange(QObject* sender);

  // Volume and mute.
  void muteButtonClick(QObject* sender);
  void muteButtonMouseEnter(QObject* sender);
  void volumeSliderChange(QObject* sender);
  void volumeSliderMouseLeave(QObject* sender);

  // The lyrics panel and the notice.
  void lyricsButtonClick(QObject* sender);
  void lyricsCloseButtonClick(QObject* sender);
  void lyricsPanelClick(QObject* sender);
  void lyricsPanelOpened(QObject* sender);
  // A click on the lyrics asks for them again after a failure.
  void lyricsTextClick(QObject* sender);
  void fontLargerButtonClick(QObject* sender);
  void fontSmallerButtonClick(QObject* sender);
  void noticeButtonClick(QObject* sender);

 public:
  // The remote control: the play/pause and skip buttons' clicks, the player's stop, the volume (the
  // player's, which the slider shows when it appears; set while muted, it unmutes), raising and
  // closing the window.
  void PlayPause() override;
  void Next() override;
  void Stop() override;
  void Raise() override;
  void Quit() override;
  int Volume() const override;
  void SetVolume(int value) override;
  const PictureContainer& Cover() const override;
  std::optional<qint64> PlayerPosition() const override;

 signals:
  // A load has shown a new song: its title, singer and cover are on show.
  void SongShown();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  // Shift+Tab reaches the volume slider as Tab does: going back from the control after it, the
  // slider shows and takes the focus (Tab reaches it through the mute button, which shows it).
  bool focusNextPrevChild(bool next) override;

 private:
  // What the radio publishes, rendered: a new song, the phase, the count, the volume.
  void ShowSong();
  void ShowPhase();
  void ShowCountdown();
  void ShowVolume();
  // The give-up's look: its heading and reason, no pictures.
  void ShowGivenUp();
  // Until the first song has come: after a second without it, says that the service is being
  // reached.
  void ShowConnecting();
  // Cuts the title and the singer at the room left of the disc.
  void FitCaptionsBeforeDisc();
  // Stops the disc's turning and sets it upright.
  void StopDisc();
  // The disc shows the cover again, turning from upright.
  void TurnCover();
  void ToggleLyricsPanel();
  // Requests the current song's lyrics for the panel, dropping an earlier request's answer.
  void RequestPanelLyrics();
  LyricsFontSize& LyricsFont();
  // After a font button's press: the buttons follow the bounds, and the size is remembered.
  void LyricsSizeChanged();
  // Disables the font button whose bound the size has reached.
  void ShowLyricsSizeBounds();
  void FocusSink();
  // Makes the notice window a dialog of this window for the window system (kept above it).
  void TieNoticeToThisWindow();
  bool VolumeHasFocus() const;
  // The control Shift+Tab goes to from the focused one, the hidden volume slider included.
  QWidget* PreviousTabStop() const;
  void VolumeSliderFollowsFocus(QWidget* before, QWidget* now);
  // The keys of the window: Space, Right or N, M, Up and Down, L, Ctrl+Q. A control with the focus
  // keeps the keys it uses itself: the channel list its moves and letters, the volume slider its
  // arrows, a button Space and Enter.
  void InstallShortcuts();
  // Moves the volume the listener hears by `step`, unmuting.
  void StepVolume(int step);
  // The listener's choices of an earlier run, taken back at the first show before the first load.
  void ApplyRememberedListening();
  void ApplyRememberedChannel(const QString& channel_id);
  void ApplyRememberedVolume(int volume, bool muted);
  // Remembers the volume the listener hears when not muted, and the muting.
  void RememberVolume();
  // The detail text (channel id) of the channel list's chosen row.
  QString ChosenChannelDetail() const;
  // Tells the remote control, from the event loop, that what it shows may have changed: the
  // changes of one handler come as one announcement.
  void RemoteStateMayHaveChanged();

  orvelle::Radio radio_;
  // Speaks what happens away from the focus (a child of this window).
  Announcer* announcer_;
  SongAnnouncer song_announcer_;
  std::optional<LyricsFontSize> lyrics_font_;
  Form* notice_ = nullptr;
  ListenerSettings* settings_ = nullptr;
  CloseRequests* close_requests_ = nullptr;
  bool shown_ = false;
  // Whether the lyrics view shows that the lyrics could not be had.
  bool lyrics_failed_ = false;
  QTimer connecting_notice_;
  // Runs AnnounceRemoteState from the event loop.
  QTimer remote_announcement_;
};

// The program's media player.
std::unique_ptr<MediaPlayer> MakeProgramMediaPlayer();

}  // namespace orvelle
