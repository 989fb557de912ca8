#pragma once

// What the radio's tests share: the demo service started once per test program, a radio on a
// recording player, and a retry clock driven by hand.

#include "../support/demo_service_process.h"
#include "../support/recording_player.h"
#include "radio/client_requests.h"
#include "radio/radio.h"
#include "radio/song_loading.h"
#include "service/http/http_client.h"

#include <httplib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace orvelle::test {

// Keeps the scheduled action until the test fires it; records every delay asked for.
class ManualRetryClock : public RetryScheduler {
 public:
  void Schedule(std::chrono::milliseconds delay, std::function<void()> action) override {
    delays.push_back(delay.count());
    pending = std::move(action);
  }
  void Cancel() override { pending = {}; }
  void Fire() { std::exchange(pending, {})(); }

  std::vector<long long> delays;
  std::function<void()> pending;
};

// One request as the demo service logged it.
struct LoggedRequest {
  QString target;
  QJsonArray headers;
  int status = 0;

  // The value of the header (case-insensitive name), or none.
  std::optional<QString> Header(const QString& name) const {
    for (const QJsonValue& pair : headers) {
      const QJsonArray entry = pair.toArray();
      if (entry.at(0).toString().compare(name, Qt::CaseInsensitive) == 0) return entry.at(1).toString();
    }
    return std::nullopt;
  }
};

// The demo service for the whole test program, on a free port; ORVELLE_SERVICE_URL points at it.
class DemoServiceEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    process_ = std::make_unique<ServiceProcess>(std::vector<std::string>{"--port", "0"});
    base_ = QString::fromStdString(process_->readLine());
    ASSERT_TRUE(base_.startsWith("http://127.0.0.1:")) << base_.toStdString();
    qputenv("ORVELLE_SERVICE_URL", base_.toUtf8());
  }
  void TearDown() override { process_.reset(); }

  static const QString& Base() { return base_; }

  // Clears the pending faults and the request log.
  static void Reset() {
    httplib::Client client(base_.toStdString());
    client.Delete("/_demo/faults");
    client.Delete("/_demo/requests");
  }
  static void AddFault(const std::string& json) {
    httplib::Client client(base_.toStdString());
    const auto result = client.Post("/_demo/faults", json, "application/json");
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 200) << result->body;
  }
  static std::vector<LoggedRequest> Requests() {
    httplib::Client client(base_.toStdString());
    const auto result = client.Get("/_demo/requests");
    std::vector<LoggedRequest> requests;
    if (!result) return requests;
    const QJsonArray list =
        QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object().value("requests").toArray();
    for (const QJsonValue& entry : list) {
      const QJsonObject object = entry.toObject();
      requests.push_back({object.value("target").toString(), object.value("headers").toArray(),
                          object.value("status").toInt()});
    }
    return requests;
  }
  // The logged targets that contain `part`.
  static QStringList Targets(const QString& part = QString()) {
    QStringList targets;
    for (const LoggedRequest& request : Requests()) {
      if (request.target.contains(part)) targets.append(request.target);
    }
    return targets;
  }

 private:
  static inline std::unique_ptr<ServiceProcess> process_;
  static inline QString base_;
};

// A radio on a recording player (made, its volume read and its calls cleared) and a retry clock
// of the test's own, the demo service with no faults and an empty request log. Every signal of
// the radio but the count is recorded by name.
class RadioTest : public testing::Test {
 protected:
  void SetUp() override { Fresh(); }

  // Everything as at the start of a test, for tests that run several cases.
  void Fresh() {
    radio.reset();
    DemoServiceEnvironment::Reset();
    auto clock = std::make_unique<ManualRetryClock>();
    retry_clock = clock.get();
    radio = std::make_unique<Radio>(
        [this] {
          auto made = std::make_unique<RecordingPlayer>();
          player = made.get();
          return std::unique_ptr<MediaPlayer>(std::move(made));
        },
        std::move(clock));
    radio->CreatePlayer();
    player->ClearCalls();
    announced.clear();
    QObject::connect(radio.get(), &Radio::SongShown, [this] { announced.append("song"); });
    QObject::connect(radio.get(), &Radio::PhaseChanged, [this] { announced.append("phase"); });
    QObject::connect(radio.get(), &Radio::VolumeChanged, [this] { announced.append("volume"); });
  }

  const RadioState& State() const { return radio->State(); }

  // Waits until the load under way has ended.
  bool LoadEnds(int milliseconds = 60000) {
    return QTest::qWaitFor([&] { return !radio->LoadUnderWay(); }, milliseconds);
  }

  std::unique_ptr<Radio> radio;
  RecordingPlayer* player = nullptr;
  ManualRetryClock* retry_clock = nullptr;
  QStringList announced;
};

}  // namespace orvelle::test
