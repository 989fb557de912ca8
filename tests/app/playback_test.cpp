// The playback cycle: countdown, pause and resume, skip, the channel choice, and the disc's
// click and hover rules.

#include "app_test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <chrono>
#include <thread>

namespace orvelle::test {
namespace {


QImage DiscImage(const MainWindow* form) {
  const Graphic* graphic = form->disc->Picture()->Graphic();
  return graphic ? graphic->ToImage() : QImage();
}

// A service in front of the demo service that answers the first playlist requests with a song
// of the given length; everything else, and the song's pictures and audio, come from the demo
// service. While it lives, the program asks it instead of the demo service.
class ShortSongService {
 public:
  ShortSongService(int length, int answers) : length_(length), answers_left_(answers) {
    server_.Get("/j/v2/playlist", [this](const httplib::Request& request, httplib::Response& response) {
      httplib::Client demo(DemoServiceEnvironment::Base().toStdString());
      auto answer = demo.Get(request.target);
      if (!answer) {
        response.status = 502;
        return;
      }
      std::string body = answer->body;
      ++playlist_requests_;
      if (answers_left_-- > 0) {
        QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
        QJsonArray songs = root.value("song").toArray();
        QJsonObject song = songs.at(0).toObject();
        song.insert("length", length_);
        songs.replace(0, song);
        root.insert("song", songs);
        body = QJsonDocument(root).toJson(QJsonDocument::Compact).toStdString();
      }
      response.set_content(body, "application/json; charset=utf-8");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    qputenv("ORVELLE_SERVICE_URL", QStringLiteral("http://127.0.0.1:%1").arg(port_).toUtf8());
  }
  ~ShortSongService() {
    qputenv("ORVELLE_SERVICE_URL", DemoServiceEnvironment::Base().toUtf8());
    server_.stop();
    thread_.join();
  }
  int PlaylistRequests() const { return playlist_requests_; }

 private:
  httplib::Server server_;
  int length_;
  std::atomic<int> answers_left_;
  std::atomic<int> playlist_requests_{0};
  int port_ = 0;
  std::thread thread_;
};

TEST_F(OrvelleTest, EveryTickCountsDownAndStepsTheProgressBar) {
  Start(kOneSongChannel);
  const int before = state.RemainingSeconds;
  ASSERT_TRUE(QTest::qWaitFor([&] { return state.RemainingSeconds == before - 1; }, 2500));
  EXPECT_EQ(main_window->remainingTimeLabel->Caption(), QString::asprintf("- 0 :%.2d", before - 1));
  EXPECT_EQ(main_window->songProgress->Value(), kOneSongLength - (before - 1));
}

TEST_F(OrvelleTest, ASongOfLengthOneOrZeroEndsAtTheNextTick) {
  struct Case {
    int length;
    const char* shown_after_load;
  };
  for (const Case& c : {Case{1, "- 0 :00"}, Case{0, "- 0 :-01"}}) {
    SCOPED_TRACE(c.length);
    ShortSongService service(c.length, 1);
    Start(kOneSongChannel);
    EXPECT_EQ(main_window->remainingTimeLabel->Caption(), QString::fromLatin1(c.shown_after_load));
    EXPECT_EQ(main_window->songProgress->MaxValue(), c.length);
    EXPECT_EQ(service.PlaylistRequests(), 1);
    // The next tick loads the next song, which has the demo service's length again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.PlaylistRequests() == 2; }, 2500));
    ASSERT_TRUE(QTest::qWaitFor([&] { return main_window->songProgress->MaxValue() == kOneSongLength; }, 5000));
    TearDown();
  }
}

// Minimised or hidden, the window does not wake every second for a count nobody sees: the timer
// wakes at the song's end, and the count is right whenever it is read, seen again or paused.
TEST_F(OrvelleTest, UnseenTheCountdownWakesOnlyAtTheSongsEndAndStaysRight) {
  ShortSongService service(6, 1);
  Start(kOneSongChannel);
  Timer* timer = main_window->countdownTimer;
  const int period = timer->Interval();
  main_window->hide();
  const int hidden_at = state.RemainingSeconds;
  EXPECT_GT(timer->Interval(), (hidden_at - 1) * period) << "one wake-up, at the run-out";

  // Read (as the desktop reads the position), the count has gone on by the seconds passed.
  QTest::qWait(2 * period + period / 2);
  const int read = main_window->State().RemainingSeconds;
  EXPECT_GE(read, hidden_at - 3);
  EXPECT_LE(read, hidden_at - 2);
  EXPECT_EQ(service.PlaylistRequests(), 1);

  // Paused and seen again, the count stands where it was, shown, and the timer's period is back.
  main_window->PlayPause();
  const int paused_at = state.RemainingSeconds;
  main_window->SetVisible(true);
  EXPECT_EQ(main_window->remainingTimeLabel->Caption(), QString::asprintf("- 0 :%.2d", paused_at));
  main_window->PlayPause();
  EXPECT_EQ(timer->Interval(), period) << "playing again counts whole seconds from now";
  ASSERT_TRUE(QTest::qWaitFor([&] { return state.RemainingSeconds == paused_at - 1; }, 2 * period));

  // Hidden again, the song runs out unseen and the next one loads on time.
  main_window->hide();
  const auto hidden = std::chrono::steady_clock::now();
  const int left = state.RemainingSeconds;
  ASSERT_TRUE(QTest::qWaitFor([&] { return service.PlaylistRequests() == 2; }, (left + 3) * period));
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - hidden);
  EXPECT_GE(took.count(), left * period) << "not before the song ran out";
  ASSERT_TRUE(LoadEnds());
  EXPECT_GE(state.RemainingSeconds, kOneSongLength - 2);
  EXPECT_GT(timer->Interval(), (kOneSongLength - 3) * period) << "the new song's run-out is the next wake-up";
}

TEST_F(OrvelleTest, PauseHoldsAudioCountdownAndDiscAndResumeGoesOn) {
  Start(kOneSongChannel);
  ASSERT_TRUE(PositionAdvances(0.3));
  Click(main_window->playPauseButton);
  EXPECT_EQ(state.IsPlaying, 0);
  EXPECT_FALSE(main_window->countdownTimer->Enabled());
  EXPECT_FALSE(main_window->disc->RotateAnimation());
  EXPECT_EQ(main_window->disc->RotationAngle(), 0);
  EXPECT_EQ(Images(main_window->playPauseButton), kPlayTriangle);
  EXPECT_TRUE(Focused(main_window->focusSink));
  QTest::qWait(300);  // the pause reaches the audio
  const double held_at = player->PositionSeconds();
  const int remaining = state.RemainingSeconds;
  const int progress = main_window->songProgress->Value();
  QTest::qWait(1300);
  EXPECT_NEAR(player->PositionSeconds(), held_at, 0.05);
  EXPECT_EQ(state.RemainingSeconds, remaining);
  EXPECT_EQ(main_window->songProgress->Value(), progress);

  Click(main_window->playPauseButton);
  EXPECT_EQ(state.IsPlaying, 1);
  EXPECT_TRUE(main_window->countdownTimer->Enabled());
  EXPECT_TRUE(main_window->disc->RotateAnimation());
  EXPECT_EQ(Images(main_window->playPauseButton), kPauseBars);
  EXPECT_EQ(DiscImage(main_window), main_window->coverHolder->Picture());
  EXPECT_TRUE(PositionAdvances(held_at));
  EXPECT_TRUE(QTest::qWaitFor([&] { return state.RemainingSeconds < remaining; }, 2500));
}

TEST_F(OrvelleTest, SkipPlaysTheNextSongKeepingThePlayButtonsLook) {
  struct Case {
    bool paused_first;
    ImagePair play_button;
  };
  for (const Case& c : {Case{false, kPauseBars}, Case{true, kPlayTriangle}}) {
    SCOPED_TRACE(c.paused_first);
    Start();
    if (c.paused_first) Click(main_window->playPauseButton);
    const QString sid = state.CurrentSong.sid;
    DemoServiceEnvironment::Reset();
    Skip();
    EXPECT_NE(state.CurrentSong.sid, sid);
    EXPECT_EQ(main_window->titleLabel->Caption(), state.CurrentSong.title);
    EXPECT_EQ(state.IsPlaying, 1);
    EXPECT_TRUE(main_window->countdownTimer->Enabled());
    EXPECT_TRUE(main_window->disc->RotateAnimation());
    EXPECT_EQ(Images(main_window->playPauseButton), c.play_button);
    // The lyrics panel is closed: its text is emptied and no lyrics are asked for.
    EXPECT_TRUE(Lyrics().isEmpty());
    EXPECT_TRUE(DemoServiceEnvironment::Targets(QStringLiteral("/j/v2/lyric")).isEmpty());
    EXPECT_TRUE(PositionAdvances(0.2));
    if (c.paused_first) {
      Click(main_window->playPauseButton);  // the first click after such a skip pauses
      EXPECT_EQ(state.IsPlaying, 0);
    }
    TearDown();
  }
}

TEST_F(OrvelleTest, AChannelChangeAffectsOnlyTheNextLoad) {
  Start(kOneSongChannel);
  const QString sid = state.CurrentSong.sid;
  DemoServiceEnvironment::Reset();
  main_window->channelList->setProperty("ItemIndex", 10);  // 韩语, channel 18
  EXPECT_EQ(state.ChannelId, QStringLiteral("18"));
  EXPECT_EQ(state.CurrentSong.sid, sid);
  EXPECT_TRUE(DemoServiceEnvironment::Targets(QStringLiteral("/j/v2/playlist")).isEmpty());
  Skip();
  const QStringList playlist = DemoServiceEnvironment::Targets(QStringLiteral("/j/v2/playlist"));
  ASSERT_FALSE(playlist.isEmpty());
  EXPECT_TRUE(playlist.first().startsWith(QStringLiteral("/j/v2/playlist?channel=18&")));

  main_window->channelList->setProperty("ItemIndex", 21);  // the blank row
  EXPECT_EQ(state.ChannelId, QString());
}

TEST_F(OrvelleTest, HoveringTheLabelsShowsTheirPicturesStillAndLeavingShowsTheCover) {
  Start(kOneSongChannel);
  ASSERT_NE(main_window->singerPictureHolder->Picture(), main_window->coverHolder->Picture());
  Enter(main_window->singerLabel);
  EXPECT_EQ(DiscImage(main_window), main_window->singerPictureHolder->Picture());
  EXPECT_FALSE(main_window->disc->RotateAnimation());
  EXPECT_EQ(main_window->disc->RotationAngle(), 0);
  Leave(main_window->singerLabel);
  EXPECT_EQ(DiscImage(main_window), main_window->coverHolder->Picture());
  EXPECT_TRUE(main_window->disc->RotateAnimation());

  Enter(main_window->titleLabel);
  EXPECT_EQ(DiscImage(main_window), main_window->coverHolder->Picture());
  EXPECT_FALSE(main_window->disc->RotateAnimation());
  Click(main_window->playPauseButton);  // paused: leaving shows the cover upright and still
  Leave(main_window->titleLabel);
  EXPECT_FALSE(main_window->disc->RotateAnimation());
  EXPECT_EQ(main_window->disc->RotationAngle(), 0);
  EXPECT_EQ(DiscImage(main_window), main_window->coverHolder->Picture());
}

TEST_F(OrvelleTest, ClickingTheDiscStopsItsTurningWhileTheSongPlaysOn) {
  Start(kOneSongChannel);
  QTest::qWait(200);  // the disc has turned
  Click(main_window->disc);
  EXPECT_FALSE(main_window->disc->RotateAnimation());
  EXPECT_EQ(main_window->disc->RotationAngle(), 0);
  EXPECT_EQ(state.IsPlaying, 1);
  EXPECT_TRUE(main_window->countdownTimer->Enabled());
  EXPECT_TRUE(PositionAdvances(player->PositionSeconds()));
}

}  // namespace
}  // namespace orvelle::test
