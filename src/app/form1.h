#pragma once

#include "controls/gp_button.h"
#include "controls/gp_combo_box.h"
#include "controls/gp_image.h"
#include "controls/label.h"
#include "controls/memo.h"
#include "controls/progress_bar.h"
#include "controls/split_view.h"
#include "controls/track_bar.h"
#include "desktop/remote_control_target.h"
#include "lyrics/lyrics_font_size.h"
#include "playback/media_player.h"
#include "service/http/http_client.h"
#include "service/picture/picture_container.h"
#include "service/play_state.h"
#include "service/song_loading.h"
#include "toolkit/form.h"
#include "toolkit/image_list.h"
#include "toolkit/panel.h"
#include "toolkit/picture_holder.h"
#include "toolkit/push_button.h"
#include "toolkit/timer.h"

#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace orvelle {

// Makes the media player when the main window is first shown; throws Error when it cannot.
using MediaPlayerFactory = std::function<std::unique_ptr<MediaPlayer>()>;

// The main window: the song on show (title, singer, remaining time, cover disc, progress), the
// transport, volume and lyrics controls and the channel chooser, built from ":/layouts/Form1.json".
// Its handlers are bound by the layout; each runs through the application's guard, so an error
// it throws is shown in the default error box. The desktop's remote control (media keys, the sound
// menu) sees it and works it as a RemoteControlTarget, through the same handlers.
class TForm1 : public Form, public RemoteControlTarget, private SongView {
  Q_OBJECT
  Q_PROPERTY(orvelle::PictureHolder* img1 MEMBER img1)
  Q_PROPERTY(orvelle::PictureHolder* img2 MEMBER img2)
  Q_PROPERTY(orvelle::Panel* pnl1 MEMBER pnl1)
  Q_PROPERTY(orvelle::TscGPButton* btn2 MEMBER btn2)
  Q_PROPERTY(orvelle::TscGPButton* btn3 MEMBER btn3)
  Q_PROPERTY(orvelle::TscGPImage* img3 MEMBER img3)
  Q_PROPERTY(orvelle::TscLabel* sclbl1 MEMBER sclbl1)
  Q_PROPERTY(orvelle::TscLabel* sclbl2 MEMBER sclbl2)
  Q_PROPERTY(orvelle::TscLabel* sclbl3 MEMBER sclbl3)
  Q_PROPERTY(orvelle::TscTrackBar* sctrckbr1 MEMBER sctrckbr1)
  Q_PROPERTY(orvelle::TscGPButton* btn4 MEMBER btn4)
  Q_PROPERTY(orvelle::TscGPComboBox* cbb1 MEMBER cbb1)
  Q_PROPERTY(orvelle::TscGPProgressBar* scgprgrsbr1 MEMBER scgprgrsbr1)
  Q_PROPERTY(orvelle::TscGPButton* btn5 MEMBER btn5)
  Q_PROPERTY(orvelle::PushButton* btn6 MEMBER btn6)
  Q_PROPERTY(orvelle::TscGPButton* btn9 MEMBER btn9)
  Q_PROPERTY(orvelle::TscSplitView* scspltvw1 MEMBER scspltvw1)
  Q_PROPERTY(orvelle::PushButton* btn1 MEMBER btn1)
  Q_PROPERTY(orvelle::TscMemo* mmo1 MEMBER mmo1)
  Q_PROPERTY(orvelle::TscGPButton* btn7 MEMBER btn7)
  Q_PROPERTY(orvelle::TscGPButton* btn8 MEMBER btn8)
  Q_PROPERTY(orvelle::ImageList* il1 MEMBER il1)
  Q_PROPERTY(orvelle::ImageList* il2 MEMBER il2)
  Q_PROPERTY(orvelle::Timer* tmr1 MEMBER tmr1)

 public:
  static constexpr char kLayout[] = ":/layouts/Form1.json";

  // `state` is the play state the window drives; `make_player` makes the media player at the
  // first show (the program's is MakeProgramMediaPlayer).
  TForm1(PlayState& state, MediaPlayerFactory make_player, QWidget* parent = nullptr);
  ~TForm1() override;

  // The notice window that btn9 shows.
  void SetNoticeWindow(Form* notice) { notice_ = notice; }

  PlayState& State() const override { return state_; }
  // The one HTTP client of the program: playlist, lyrics and pictures.
  http::HttpClient& Http1() { return http1_; }

  PictureHolder* img1 = nullptr;
  PictureHolder* img2 = nullptr;
  Panel* pnl1 = nullptr;
  TscGPButton* btn2 = nullptr;
  TscGPButton* btn3 = nullptr;
  TscGPImage* img3 = nullptr;
  TscLabel* sclbl1 = nullptr;
  TscLabel* sclbl2 = nullptr;
  TscLabel* sclbl3 = nullptr;
  TscTrackBar* sctrckbr1 = nullptr;
  TscGPButton* btn4 = nullptr;
  TscGPComboBox* cbb1 = nullptr;
  TscGPProgressBar* scgprgrsbr1 = nullptr;
  TscGPButton* btn5 = nullptr;
  PushButton* btn6 = nullptr;
  TscGPButton* btn9 = nullptr;
  TscSplitView* scspltvw1 = nullptr;
  PushButton* btn1 = nullptr;
  TscMemo* mmo1 = nullptr;
  TscGPButton* btn7 = nullptr;
  TscGPButton* btn8 = nullptr;
  ImageList* il1 = nullptr;
  ImageList* il2 = nullptr;
  Timer* tmr1 = nullptr;

 public slots:
  // Start-up and close.
  void FormCreate(QObject* sender);
  void FormShow(QObject* sender);
  void FormCloseQuery(QObject* sender, bool* canClose);

  // The playback cycle.
  void tmr1Timer(QObject* sender);
  void btn3Click(QObject* sender);
  void btn2Click(QObject* sender);
  void img3Click(QObject* sender);
  void sclbl1MouseEnter(QObject* sender);
  void sclbl2MouseEnter(QObject* sender);
  void sclbl2MouseLeave(QObject* sender);
  void cbb1Change(QObject* sender);

  // Volume and mute.
  void btn5Click(QObject* sender);
  void btn5MouseEnter(QObject* sender);
  void sctrckbr1Change(QObject* sender);
  void sctrckbr1MouseLeave(QObject* sender);

  // The lyrics panel and the notice.
  void btn4Click(QObject* sender);
  void btn1Click(QObject* sender);
  void scspltvw1Click(QObject* sender);
  void scspltvw1Opened(QObject* sender);
  void btn7Click(QObject* sender);
  void btn8Click(QObject* sender);
  void btn9Click(QObject* sender);

 public:
  // The remote control: the play/pause and skip buttons' clicks, the volume slider (the player's
  // volume, which the slider shows when it appears), raising and closing the window.
  void PlayPause() override;
  void Next() override;
  void Raise() override;
  void Quit() override;
  int Volume() const override;
  void SetVolume(int value) override;
  const PictureContainer& Cover() const override { return cover_picture_; }

 private:
  // What a song load shows and drives.
  void SetTitleCaption(const QString& text) override;
  void SetSingerCaption(const QString& text) override;
  void SetTimeCaption(const QString& text) override;
  PictureContainer& CoverPicture() override { return cover_picture_; }
  PictureContainer& SingerPicture() override { return singer_picture_; }
  PictureContainer& DiscPicture() override;
  void SetProgressValue(int value) override;
  void SetProgressMaxValue(int value) override;
  void SetProgressMinValue(int value) override;
  void SetCountdownEnabled(bool enabled) override;
  void SetDiscRotating(bool rotating) override;
  QString ChosenChannelDetail() const override;

  // The player; throws Error when it was never created.
  MediaPlayer& Player() const;
  void CreateMediaPlayer();
  // Stops the disc's turning and sets it upright.
  void StopDisc();
  void ToggleLyricsPanel();
  LyricsFontSize& LyricsFont();
  void FocusSink();
  // Tells the remote control, once the running sequence has ended, that what it shows may have
  // changed; see AnnounceRemoteState.
  void RemoteStateMayHaveChanged();
  void AnnounceRemoteState();

  PlayState& state_;
  MediaPlayerFactory make_player_;
  std::unique_ptr<MediaPlayer> media_player_;
  http::HttpClient http1_;
  // The pictures the hidden holders img1 (cover) and img2 (singer) hold; each change is shown
  // in its holder.
  PictureContainer cover_picture_;
  PictureContainer singer_picture_;
  SongLoader loader_;
  std::optional<LyricsFontSize> lyrics_font_;
  Form* notice_ = nullptr;
  bool shown_ = false;
  // Runs AnnounceRemoteState from the event loop.
  QTimer remote_announcement_;
};

// The program's media player: libmpv.
std::unique_ptr<MediaPlayer> MakeProgramMediaPlayer();

}  // namespace orvelle
