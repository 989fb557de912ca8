#pragma once

#include "playback/media_player.h"
#include "service/error.h"

#include <QString>
#include <QStringList>

namespace orvelle::test {

// A media player for window and loader tests: records every call in order as text and plays
// nothing. The lines are
//   "SetURL <url>", "Play", "Pause", "Stop", "Volume -> <volume>", "SetVolume <volume>".
// ReportFailure plays the player's own failure report of the current address.
// Told to fail an operation (by its name, "Play" for example), it records the call and then
// throws orvelle::Error with the given message, every time until told otherwise.
class RecordingPlayer : public MediaPlayer {
 public:
  explicit RecordingPlayer(int volume = 100) : volume_(volume) {}

  const QStringList& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // Makes the named operation fail from now on; an empty name makes every call succeed again.
  void FailOn(const QString& operation, const QString& message = QStringLiteral("The media player failed")) {
    failing_operation_ = operation;
    failure_message_ = message;
  }

  void SetURL(const QString& url) override { Record(QStringLiteral("SetURL"), QStringLiteral("SetURL ") + url); }
  void Play() override { Record(QStringLiteral("Play")); }
  void Pause() override { Record(QStringLiteral("Pause")); }
  void Stop() override { Record(QStringLiteral("Stop")); }
  int Volume() const override {
    Record(QStringLiteral("Volume"), QStringLiteral("Volume -> %1").arg(volume_));
    return volume_;
  }
  void SetVolume(int volume) override {
    Record(QStringLiteral("SetVolume"), QStringLiteral("SetVolume %1").arg(volume));
    volume_ = volume;
  }
  void SetFailureHandler(FailureHandler handler) override { failure_handler_ = std::move(handler); }
  std::int64_t PositionMicroseconds() const override { return position_microseconds_; }

  // Reports the current address as unplayable, as the player does from its event loop.
  void ReportFailure(PlaybackFailure::Kind kind, const QString& reason) {
    if (failure_handler_) failure_handler_(PlaybackFailure{kind, reason});
  }
  void SetPositionMicroseconds(std::int64_t position) { position_microseconds_ = position; }

 private:
  void Record(const QString& operation, const QString& line = QString()) const {
    calls_.append(line.isEmpty() ? operation : line);
    if (operation == failing_operation_) throw Error(failure_message_);
  }

  int volume_;
  mutable QStringList calls_;
  QString failing_operation_;
  QString failure_message_;
  FailureHandler failure_handler_;
  std::int64_t position_microseconds_ = 0;
};

}  // namespace orvelle::test
