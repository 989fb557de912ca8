#pragma once

// What the end-to-end tests share: the demo service for the whole program, Orvelle's windows
// made as the program makes them with the real player, and
// input as the listener gives it.

#include "../radio/radio_test_support.h"
#include "../support/modal_watcher.h"
#include "app/start_up.h"
#include "playback/gst_media_player.h"
#include "toolkit/focus.h"

#include <QEnterEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// Texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace orvelle::test {

// Channel "17" of the demo service plays one song only, sid 1010, 27 seconds long.
inline constexpr char kOneSongChannel[] = "17";
inline constexpr int kOneSongLength = 27;

// A graphic button's images: normal and hot.
struct ImagePair {
  int normal;
  int hot;
  bool operator==(const ImagePair&) const = default;
};
inline ImagePair Images(const TscGPButton* button) { return {button->ImageIndex(), button->HotImageIndex()}; }
inline void PrintTo(const ImagePair& pair, std::ostream* out) { *out << pair.normal << "/" << pair.hot; }
// The play/pause button's looks.
inline constexpr ImagePair kPauseBars{2, 3};
inline constexpr ImagePair kPlayTriangle{11, 12};

inline void Enter(QWidget* widget) {
  const QPointF centre = QRectF(widget->rect()).center();
  QEnterEvent event(centre, widget->mapTo(widget->window(), centre), widget->mapToGlobal(centre));
  QApplication::sendEvent(widget, &event);
}

inline void Leave(QWidget* widget) {
  QEvent event(QEvent::Leave);
  QApplication::sendEvent(widget, &event);
}

// The pointer comes over the control, clicks and moves away again.
inline void Click(QWidget* widget) {
  Enter(widget);
  QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
  Leave(widget);
}

// A service in front of the demo service that answers the first playlist requests with a song
// of the given length, and passes the lyrics requests on; everything else, and the song's pictures and audio, come from the demo
// service. While it lives, the program asks it instead of the demo service.
class ShortSongService {
 public:
  ShortSongService(int length, int answers) : length_(length), answers_left_(answers) {
    server_.Get("/j/v2/lyric", [](const httplib::Request& request, httplib::Response& response) {
      httplib::Client demo(DemoServiceEnvironment::Base().toStdString());
      auto answer = demo.Get(request.target);
      response.status = answer ? answer->status : 502;
      if (answer) response.set_content(answer->body, "application/json; charset=utf-8");
    });
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

// Orvelle's windows, shown as the event loop shows them at start.
class OrvelleTest : public testing::Test {
 protected:
  void SetUp() override { DemoServiceEnvironment::Reset(); }

  // Also between the cases of a table: the windows go, and the radio with them.
  void TearDown() override {
    if (main_window) main_window->close();
    windows = {};
    main_window = nullptr;
    notice_window = nullptr;
    player = nullptr;
    settings = nullptr;
    DemoServiceEnvironment::Reset();
  }

  // Makes the windows; `factory` makes the player (the real one unless given).
  void Create(MediaPlayerFactory factory = {}) {
    if (!factory) {
      factory = [this] {
        auto made = std::make_unique<GstMediaPlayer>();
        player = made.get();
        return std::unique_ptr<MediaPlayer>(std::move(made));
      };
    }
    windows = CreateProgramWindows(std::move(factory), settings);
    main_window = windows.main_window.get();
    notice_window = windows.notice_window.get();
  }

  // Makes the windows and shows the main one, which loads and plays the first song.
  void Start(const char* channel = nullptr) {
    Create();
    if (channel) main_window->Radio().ChooseChannel(QString::fromLatin1(channel));
    main_window->SetVisible(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return state().audio_playing; }, 20000)) << "no song started";
  }

  // Waits until the load under way has ended.
  bool LoadEnds(int milliseconds = 30000) {
    return QTest::qWaitFor([&] { return !main_window->LoadUnderWay(); }, milliseconds);
  }

  // Skips to the next song and waits until its load has ended.
  void Skip() {
    Click(main_window->nextButton);
    ASSERT_TRUE(LoadEnds());
  }

  // Waits until the player's position has moved on from `from` (the audio plays).
  bool PositionAdvances(double from) {
    return QTest::qWaitFor([&] { return player->PositionSeconds() > from + 0.2; }, 10000);
  }

  QString Lyrics() const { return main_window->lyricsText->Text(); }

  // What the radio shows.
  const RadioState& state() const { return main_window->State(); }

  ProgramWindows windows;
  MainWindow* main_window = nullptr;
  NoticeWindow* notice_window = nullptr;
  GstMediaPlayer* player = nullptr;
  // The settings the windows remember into; none unless the test sets them before Create.
  ListenerSettings* settings = nullptr;
};

}  // namespace orvelle::test
