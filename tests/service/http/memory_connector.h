#pragma once

// Puts canned answers in place of the network: each new connection of the client reads the
// next answer and then sees the server close; everything the client writes is logged.

#include "service/http/http_client.h"

#include <memory>
#include <vector>

namespace orvelle::testing {

class LoggedStream : public http::MemoryStream {
 public:
  LoggedStream(QByteArray input, size_t piece, std::shared_ptr<QByteArray> log)
      : MemoryStream(std::move(input), piece), log_(std::move(log)) {}
  void Write(const char* data, size_t size, const http::WaitLimits& limits) override {
    log_->append(data, static_cast<qsizetype>(size));
    MemoryStream::Write(data, size, limits);
  }

 private:
  std::shared_ptr<QByteArray> log_;
};

struct MemoryServer {
  std::vector<QByteArray> answers;
  size_t piece = 7;  // small pieces make every read path cross buffer edges
  std::shared_ptr<QByteArray> written = std::make_shared<QByteArray>();
  std::vector<http::ConnectTarget> targets;
  size_t next = 0;

  void Attach(http::HttpClient& client) {
    client.SetConnector([this](const http::ConnectTarget& target) -> std::unique_ptr<http::ByteStream> {
      targets.push_back(target);
      QByteArray answer = next < answers.size() ? answers[next++] : QByteArray();
      return std::make_unique<LoggedStream>(answer, piece, written);
    });
  }
};

inline QByteArray OkAnswer(const QByteArray& body, const QByteArray& headers = {}) {
  return "HTTP/1.1 200 OK\r\n" + headers + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

}  // namespace orvelle::testing
