#pragma once

#include <QLoggingCategory>
#include <QString>
#include <QStringList>

#include <mutex>
#include <utility>

namespace orvelle::test {

// Collects the program's log lines while it lives, as "<category> <level> <text>" (level one of
// debug, info, warning, critical), for example "orvelle.ui warning message box shown: Hi".
// Turns on every orvelle category meanwhile, debug level included, and restores the rules and
// the previous handler when it goes. One at a time; lines may come from any thread.
class LogCapture {
 public:
  LogCapture() {
    Instance() = this;
    QLoggingCategory::setFilterRules(QStringLiteral("orvelle.*=true"));
    previous_ = qInstallMessageHandler(&LogCapture::Record);
  }
  ~LogCapture() {
    qInstallMessageHandler(previous_);
    QLoggingCategory::setFilterRules(QString());
    Instance() = nullptr;
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  QStringList Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  // The lines that contain every one of the given pieces.
  template <class... Pieces>
  QStringList Matching(const Pieces&... pieces) const {
    QStringList found;
    for (const QString& line : Lines()) {
      if ((line.contains(pieces) && ...)) found.append(line);
    }
    return found;
  }

 private:
  static LogCapture*& Instance() {
    static LogCapture* instance = nullptr;
    return instance;
  }

  static void Record(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    static const char* const kLevels[] = {"debug", "warning", "critical", "fatal", "info"};
    const char* level = type >= 0 && type <= QtInfoMsg ? kLevels[type] : "other";
    if (LogCapture* capture = Instance()) {
      std::lock_guard lock(capture->mutex_);
      capture->lines_.append(QStringLiteral("%1 %2 %3")
                                 .arg(QLatin1String(context.category ? context.category : "default"),
                                      QLatin1String(level), text));
    }
  }

  QtMessageHandler previous_ = nullptr;
  mutable std::mutex mutex_;
  QStringList lines_;
};

}  // namespace orvelle::test
