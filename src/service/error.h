#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace orvelle {

// The one error type of the project: every failure is an exception derived from it,
// carrying the message text that the user may be shown.
class Error : public std::exception {
 public:
  explicit Error(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}

  const QString& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return utf8_.constData(); }

 private:
  QString message_;
  QByteArray utf8_;
};

}  // namespace orvelle
