// The demo service as a program: started here on free ports, asked over loopback with the
// server library's own client.
#include <httplib.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include "../../support/demo_service_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using orvelle::test::ServiceProcess;

QJsonObject parseObject(const std::string& text) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
  return document.object();
}

// The part of an address after its scheme, host and port.
std::string pathOf(const QString& address) {
  const QString rest = address.mid(address.indexOf("//") + 2);
  return rest.mid(rest.indexOf('/')).toStdString();
}

class DemoService : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    caFile_ = new std::string((std::filesystem::temp_directory_path() /
                               ("orvelle-demo-test-ca-" + std::to_string(getpid()) + ".pem"))
                                  .string());
    process_ = new ServiceProcess({"--port", "0", "--https-port", "0", "--ca-file", *caFile_});
    base_ = new std::string(process_->readLine());
    secureBase_ = new std::string(process_->readLine());
    caLine_ = new std::string(process_->readLine());
  }
  static void TearDownTestSuite() {
    EXPECT_EQ(process_->stop(), 0);
    delete process_;
    std::filesystem::remove(*caFile_);
    delete caFile_;
    delete base_;
    delete secureBase_;
    delete caLine_;
  }

  void SetUp() override {
    ASSERT_TRUE(base_->starts_with("http://127.0.0.1:")) << *base_;
    client_ = std::make_unique<httplib::Client>(*base_);
    client_->set_read_timeout(20, 0);
    ASSERT_TRUE(client_->Delete("/_demo/faults"));
  }

  httplib::Result get(const std::string& path, const httplib::Headers& headers = {}) {
    return client_->Get(path.c_str(), headers);
  }

  httplib::Result playlist(const std::string& channel) {
    return get("/j/v2/playlist?channel=" + channel +
               "&kbps=128&client=s%3Amainsite%7Cy%3A3.0&app_name=radio_website&version=100&type=p&sid=1234567"
               "&pt=&pb=128&apikey=");
  }

  void addFault(const std::string& json) {
    const auto result = client_->Post("/_demo/faults", json, "application/json");
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 200) << result->body;
  }

  static ServiceProcess* process_;
  static std::string* base_;
  static std::string* secureBase_;
  static std::string* caLine_;
  static std::string* caFile_;
  std::unique_ptr<httplib::Client> client_;
};

ServiceProcess* DemoService::process_ = nullptr;
std::string* DemoService::base_ = nullptr;
std::string* DemoService::secureBase_ = nullptr;
std::string* DemoService::caLine_ = nullptr;
std::string* DemoService::caFile_ = nullptr;

TEST_F(DemoService, PlaylistAnswersOneSongOfTheChannelInTurn) {
  const std::set<std::string> chineseChannel{"1001", "1006", "1007", "1009", "1012"};
  const std::set<std::string> westernChannel{"1002", "1003", "1004", "1005", "1011"};
  for (const auto& [channel, sids] : {std::pair{"1", chineseChannel}, std::pair{"2", westernChannel}}) {
    SCOPED_TRACE(channel);
    std::set<std::string> seen;
    for (size_t i = 0; i < sids.size(); ++i) {
      const auto result = playlist(channel);
      ASSERT_TRUE(result);
      EXPECT_EQ(result->status, 200);
      EXPECT_EQ(result->get_header_value("Content-Type"), "application/json; charset=utf-8");
      const QJsonObject answer = parseObject(result->body);
      const QJsonArray songs = answer.value("song").toArray();
      ASSERT_EQ(songs.size(), 1);
      const QJsonObject song = songs.at(0).toObject();
      for (const char* key : {"albumtitle", "url", "album", "file_ext", "title", "picture", "update_time",
                              "public_time", "length", "sid", "ssid"})
        EXPECT_TRUE(song.contains(key)) << key;
      EXPECT_TRUE(song.value("length").isDouble());
      const QJsonArray singers = song.value("singers").toArray();
      ASSERT_EQ(singers.size(), 1);
      EXPECT_FALSE(singers.at(0).toObject().value("name").toString().isEmpty());
      EXPECT_TRUE(singers.at(0).toObject().value("avatar").toString().startsWith(QString::fromStdString(*base_)));
      EXPECT_TRUE(song.value("url").toString().startsWith(QString::fromStdString(*base_ + "/audio/")));
      EXPECT_NE(result->body.find(R"("url":"http:\/\/127.0.0.1:)"), std::string::npos);
      seen.insert(song.value("sid").toString().toStdString());
    }
    // Each request gives the channel's next song, so a round visits all of them.
    EXPECT_EQ(seen, sids);
  }
}

TEST_F(DemoService, UnknownOrEmptyChannelAnswersAnEmptySongArray) {
  for (const char* channel : {"", "424242", "abc"}) {
    SCOPED_TRACE(channel);
    const auto result = playlist(channel);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    const QJsonObject answer = parseObject(result->body);
    EXPECT_EQ(answer.value("r").toInt(-1), 0);
    ASSERT_TRUE(answer.value("song").isArray());
    EXPECT_TRUE(answer.value("song").toArray().isEmpty());
  }
}

TEST_F(DemoService, LyricsWithAndWithoutAndForAWrongSsid) {
  struct Case {
    const char* query;
    bool hasLyric;
    const char* lineInLyric;
  };
  const Case cases[] = {
      {"sid=1001&ssid=5a1c", true, "我把名字写进风里"},
      {"sid=1003&ssid=0c93", true, "I said \"hello\" to the dial tone"},
      {"sid=1008&ssid=7b08", false, ""},
      {"sid=1001&ssid=0000", false, ""},
      {"sid=&ssid=", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    const auto result = get(std::string("/j/v2/lyric?") + c.query);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    const QJsonObject answer = parseObject(result->body);
    EXPECT_EQ(answer.contains("lyric"), c.hasLyric);
    if (c.hasLyric) {
      EXPECT_TRUE(answer.value("lyric").toString().contains(QString::fromUtf8(c.lineInLyric)));
      EXPECT_GE(answer.value("lyric").toString().count('\n'), 3);
    }
  }
}

TEST_F(DemoService, PicturesNamedByTheSongDecode) {
  // Three songs of channel 61 in a row cover PNG, JPEG and GIF covers and singer pictures.
  std::set<std::string> types;
  for (int i = 0; i < 4; ++i) {
    const auto answer = playlist("61");
    ASSERT_TRUE(answer);
    const QJsonObject song = parseObject(answer->body).value("song").toArray().at(0).toObject();
    for (const QString& address : {song.value("picture").toString(),
                                   song.value("singers").toArray().at(0).toObject().value("avatar").toString()}) {
      SCOPED_TRACE(address.toStdString());
      const auto result = get(pathOf(address));
      ASSERT_TRUE(result);
      EXPECT_EQ(result->status, 200);
      types.insert(result->get_header_value("Content-Type"));
      const QImage image = QImage::fromData(QByteArray::fromStdString(result->body));
      EXPECT_FALSE(image.isNull());
      EXPECT_GE(image.width(), 100);
    }
  }
  EXPECT_EQ(types, (std::set<std::string>{"image/png", "image/jpeg", "image/gif"}));
  EXPECT_EQ(get("/img/covers/0000.png")->status, 404);
  // Pictures answer byte ranges like the audio does, a range past the end included.
  EXPECT_EQ(get("/img/covers/1001.png", {{"Range", "bytes=0-7"}})->body, "\x89PNG\r\n\x1A\n");
  EXPECT_EQ(get("/img/covers/1001.png", {{"Range", "bytes=99999999-"}})->status, 416);
}

TEST_F(DemoService, AudioIsServedWholeAndInByteRanges) {
  const auto whole = get("/audio/1012.wav");
  ASSERT_TRUE(whole);
  ASSERT_EQ(whole->status, 200);
  EXPECT_EQ(whole->get_header_value("Content-Type"), "audio/wav");
  EXPECT_EQ(whole->get_header_value("Accept-Ranges"), "bytes");
  EXPECT_EQ(whole->get_header_value("Content-Length"), std::to_string(whole->body.size()));
  ASSERT_GT(whole->body.size(), 44u);
  EXPECT_EQ(whole->body.substr(0, 4), "RIFF");
  const size_t size = whole->body.size();
  // 16-bit mono at 22050 per second, 20 to 45 seconds.
  EXPECT_GE(size - 44, 20u * 22050 * 2);
  EXPECT_LE(size - 44, 45u * 22050 * 2);

  struct Case {
    std::string range;
    int status;
    size_t first, length;
  };
  const Case cases[] = {
      {"bytes=0-43", 206, 0, 44},
      {"bytes=100000-100099", 206, 100000, 100},
      {"bytes=-16", 206, size - 16, 16},
      {"bytes=" + std::to_string(size - 5) + "-", 206, size - 5, 5},
      {"bytes=" + std::to_string(size) + "-", 416, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.range);
    const auto result = get("/audio/1012.wav", {{"Range", c.range}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, c.status);
    if (c.status == 206) {
      EXPECT_EQ(result->body, whole->body.substr(c.first, c.length));
      EXPECT_EQ(result->get_header_value("Content-Range"), "bytes " + std::to_string(c.first) + "-" +
                                                               std::to_string(c.first + c.length - 1) + "/" +
                                                               std::to_string(size));
    } else {
      EXPECT_EQ(result->get_header_value("Content-Range"), "bytes */" + std::to_string(size));
    }
  }
  EXPECT_EQ(get("/audio/0000.wav")->status, 404);

  // The MP3 the playlist names is served the same way.
  const auto mp3 = get("/audio/1012.mp3");
  ASSERT_TRUE(mp3);
  EXPECT_EQ(mp3->get_header_value("Content-Type"), "audio/mpeg");
  const auto tail = get("/audio/1012.mp3", {{"Range", "bytes=1000-"}});
  ASSERT_TRUE(tail);
  EXPECT_EQ(tail->status, 206);
  EXPECT_EQ(tail->body, mp3->body.substr(1000));
}

// An outage: the answer breaks off after the bytes asked for, and a request sent meanwhile is
// answered (whole) once the outage is over.
TEST_F(DemoService, AnAudioOutageBreaksTheAnswerOffAndHoldsRequestsUntilItEnds) {
  ASSERT_EQ(client_->Post("/_demo/faults", R"({"target":"audio","kind":"outage","after_bytes":5000,"delay_ms":1500})",
                          "application/json")
                ->status,
            200);
  std::string broken;
  std::atomic<size_t> arrived{0};
  std::thread first([&] {
    httplib::Client client(*base_);
    client.Get("/audio/1001.mp3", [&](const char* data, size_t length) {
      broken.append(data, length);
      arrived += length;
      return true;
    });
  });
  // The second request is sent once the first one has broken off.
  for (int i = 0; i < 200 && arrived < 5000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const auto started = std::chrono::steady_clock::now();
  const auto whole = get("/audio/1001.mp3");
  const auto waited = std::chrono::steady_clock::now() - started;
  first.join();
  EXPECT_EQ(broken.size(), 5000u);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->status, 200);
  EXPECT_EQ(broken, whole->body.substr(0, 5000));
  EXPECT_GE(waited, std::chrono::milliseconds(900));
}

TEST_F(DemoService, PlaylistFaultsApplyToTheNamedRequestsThenClear) {
  struct Case {
    const char* fault;
    int status;
    int songs;    // -1: the body is not JSON
    int singers;  // of the first song
  };
  const Case cases[] = {
      {R"({"target":"playlist","kind":"status","status":503,"count":2})", 503, 0, 0},
      {R"({"target":"playlist","kind":"malformed"})", 200, -1, 0},
      {R"({"target":"playlist","kind":"two_singers"})", 200, 1, 2},
      {R"({"target":"playlist","kind":"no_singers"})", 200, 1, 0},
      {R"({"target":"playlist","kind":"no_songs"})", 200, 0, 0},
      {R"({"target":"playlist","kind":"two_songs"})", 200, 2, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    addFault(c.fault);
    const int count = parseObject(client_->Get("/_demo/faults")->body).value("faults").toArray().at(0).toObject().value("count").toInt();
    for (int i = 0; i < count; ++i) {
      const auto result = playlist("-10");
      ASSERT_TRUE(result);
      EXPECT_EQ(result->status, c.status);
      if (c.status != 200) continue;
      const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(result->body));
      if (c.songs < 0) {
        EXPECT_TRUE(document.isNull());
        continue;
      }
      const QJsonArray songs = document.object().value("song").toArray();
      ASSERT_EQ(songs.size(), c.songs);
      if (c.songs > 0) { EXPECT_EQ(songs.at(0).toObject().value("singers").toArray().size(), c.singers); }
    }
    // Cleared: the next answer is a normal one.
    const auto after = playlist("-10");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
    const QJsonArray songs = parseObject(after->body).value("song").toArray();
    ASSERT_EQ(songs.size(), 1);
    EXPECT_EQ(songs.at(0).toObject().value("singers").toArray().size(), 1);
  }
}

TEST_F(DemoService, DelayFaultHoldsTheAnswerBackOnce) {
  addFault(R"({"target":"playlist","kind":"delay","delay_ms":300})");
  const auto start = std::chrono::steady_clock::now();
  const auto delayed = playlist("1");
  const auto waited = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(delayed);
  EXPECT_EQ(delayed->status, 200);
  EXPECT_EQ(parseObject(delayed->body).value("song").toArray().size(), 1);
  EXPECT_GE(waited, std::chrono::milliseconds(300));
  EXPECT_EQ(client_->Get("/_demo/faults")->body, R"({"faults":[]})");
}

TEST_F(DemoService, PictureAndAudioFaults) {
  struct Case {
    const char* fault;
    std::string path;
    int status;
    const char* outcome;  // "empty", "one byte", "undecodable", "error"
  };
  const Case cases[] = {
      {R"({"target":"picture","kind":"status"})", "/img/covers/1001.png", 404, "error"},
      {R"({"target":"picture","kind":"empty"})", "/img/covers/1002.jpg", 200, "empty"},
      {R"({"target":"picture","kind":"one_byte"})", "/img/singers/203.gif", 200, "one byte"},
      {R"({"target":"picture","kind":"garbage"})", "/img/singers/201.png", 200, "undecodable"},
      {R"({"target":"audio","kind":"status"})", "/audio/1001.wav", 404, "error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    addFault(c.fault);
    const auto faulty = get(c.path);
    ASSERT_TRUE(faulty);
    EXPECT_EQ(faulty->status, c.status);
    const std::string outcome = c.status != 200                 ? "error"
                                : faulty->body.empty()          ? "empty"
                                : faulty->body.size() == 1      ? "one byte"
                                : QImage::fromData(QByteArray::fromStdString(faulty->body)).isNull() ? "undecodable"
                                                                                                    : "picture";
    EXPECT_EQ(outcome, c.outcome);
    const auto after = get(c.path);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
    EXPECT_GT(after->body.size(), 1000u);
  }
}

TEST_F(DemoService, FaultWithAMatchSparesOtherRequests) {
  addFault(R"({"target":"picture","kind":"status","status":404,"match":"/singers/"})");
  EXPECT_EQ(get("/img/covers/1001.png")->status, 200);
  EXPECT_EQ(get("/img/singers/201.png")->status, 404);
  EXPECT_EQ(get("/img/singers/201.png")->status, 200);
  // A match on the query: only one channel's requests.
  addFault(R"({"target":"playlist","kind":"status","match":"channel=18&"})");
  EXPECT_EQ(playlist("17")->status, 200);
  EXPECT_EQ(playlist("18")->status, 500);
}

TEST_F(DemoService, BadFaultIsRefusedWithItsReason) {
  const auto result = client_->Post("/_demo/faults", R"({"target":"audio","kind":"garbage"})", "application/json");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 400);
  EXPECT_NE(result->body.find("does not apply"), std::string::npos);
  EXPECT_EQ(client_->Get("/_demo/faults")->body, R"({"faults":[]})");
}

TEST_F(DemoService, RequestLogShowsWhatTheClientSent) {
  ASSERT_EQ(client_->Delete("/_demo/requests")->status, 204);
  playlist("27");
  const QJsonArray requests = parseObject(client_->Get("/_demo/requests")->body).value("requests").toArray();
  ASSERT_EQ(requests.size(), 1);
  const QJsonObject request = requests.at(0).toObject();
  EXPECT_EQ(request.value("method").toString(), "GET");
  EXPECT_TRUE(request.value("target").toString().startsWith("/j/v2/playlist?channel=27&kbps=128"));
  EXPECT_EQ(request.value("status").toInt(), 200);
  bool host = false;
  for (const QJsonValue header : request.value("headers").toArray()) host |= header.toArray().at(0).toString() == "Host";
  EXPECT_TRUE(host);
}

TEST_F(DemoService, HttpsWithTheCertificateAuthorityItWrote) {
  ASSERT_TRUE(secureBase_->starts_with("https://127.0.0.1:")) << *secureBase_;
  EXPECT_EQ(std::filesystem::absolute(*caFile_).string(), *caLine_);
  httplib::SSLClient secure("127.0.0.1", std::stoi(secureBase_->substr(secureBase_->rfind(':') + 1)));
  secure.set_ca_cert_path(caFile_->c_str());
  secure.enable_server_certificate_verification(true);
  const auto result = secure.Get("/j/v2/playlist?channel=18");
  ASSERT_TRUE(result) << httplib::to_string(result.error());
  const QJsonObject song = parseObject(result->body).value("song").toArray().at(0).toObject();
  EXPECT_TRUE(song.value("picture").toString().startsWith(QString::fromStdString(*secureBase_ + "/img/")));

  // Trusting only the system's authorities, a client refuses the certificate.
  const char* systemAuthorities = "/etc/ssl/certs/ca-certificates.crt";
  if (std::filesystem::exists(systemAuthorities)) {
    httplib::SSLClient untrusting("127.0.0.1", std::stoi(secureBase_->substr(secureBase_->rfind(':') + 1)));
    untrusting.set_ca_cert_path(systemAuthorities);
    untrusting.enable_server_certificate_verification(true);
    const auto refused = untrusting.Get("/j/v2/playlist?channel=18");
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.error(), httplib::Error::SSLServerVerification);
  }
}

TEST(DemoServiceProgram, FaultGivenOnTheCommandLineIsPendingFromTheStart) {
  ServiceProcess process({"--fault", R"({"target":"lyric","kind":"malformed"})"});
  const std::string base = process.readLine();
  ASSERT_TRUE(base.starts_with("http://127.0.0.1:")) << base;
  httplib::Client client(base);
  const auto first = client.Get("/j/v2/lyric?sid=1001&ssid=5a1c");
  ASSERT_TRUE(first);
  EXPECT_TRUE(QJsonDocument::fromJson(QByteArray::fromStdString(first->body)).isNull());
  const auto second = client.Get("/j/v2/lyric?sid=1001&ssid=5a1c");
  ASSERT_TRUE(second);
  EXPECT_TRUE(parseObject(second->body).contains("lyric"));
  EXPECT_EQ(process.stop(), 0);
}

TEST(DemoServiceProgram, PortInUseIsAnError) {
  ServiceProcess first({});
  const std::string base = first.readLine();
  ASSERT_TRUE(base.starts_with("http://127.0.0.1:")) << base;
  ServiceProcess second({"--port", base.substr(base.rfind(':') + 1)});
  EXPECT_EQ(second.readLine(), "");
  EXPECT_EQ(second.stop(), 1);
  EXPECT_EQ(first.stop(), 0);
}

TEST(DemoServiceProgram, RefusesBadOptions) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--port", "70000"}, {"--port"}, {"--frobnicate"},
        {"--fault", R"({"target":"radio"})"}}) {
    ServiceProcess process(arguments);
    EXPECT_EQ(process.readLine(), "");
    EXPECT_NE(process.stop(), 0);
  }
}

}  // namespace
