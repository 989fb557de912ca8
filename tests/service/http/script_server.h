#pragma once

// A loopback HTTP server for tests that answers each accepted connection with a script of
// exact bytes: read a request, send bytes, stall, drip bytes slowly, close. Plain or TLS.

#include "test_certificates.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;

namespace orvelle::testing {

struct Step {
  enum Kind { kReadRequest, kSend, kStall, kDrip, kClose, kReset };
  Kind kind;
  QByteArray bytes;
  int ms = 0;
};

// What the server does on one connection, in order. After the last step the server waits
// until the client closes (unless the script closed first).
class Script {
 public:
  Script& ReadRequest() { return Add({Step::kReadRequest, {}, 0}); }
  Script& Send(const QByteArray& bytes) { return Add({Step::kSend, bytes, 0}); }
  // Reads a request and sends the answer.
  Script& Answer(const QByteArray& bytes) { return ReadRequest().Send(bytes); }
  Script& Stall(int ms) { return Add({Step::kStall, {}, ms}); }
  // Sends one byte of `bytes` every `ms`, repeating them, until the client goes away.
  Script& Drip(const QByteArray& bytes, int ms) { return Add({Step::kDrip, bytes, ms}); }
  Script& Close() { return Add({Step::kClose, {}, 0}); }
  // Closes with a TCP reset instead of an orderly close.
  Script& Reset() { return Add({Step::kReset, {}, 0}); }

  const std::vector<Step>& Steps() const { return steps_; }

 private:
  Script& Add(Step step) {
    steps_.push_back(std::move(step));
    return *this;
  }
  std::vector<Step> steps_;
};

class ScriptServer {
 public:
  // Serves the scripts to the connections in order of arrival; a connection beyond the last
  // script is closed at once. With `tls` the server speaks TLS with that certificate.
  explicit ScriptServer(std::vector<Script> scripts, const PemPair* tls = nullptr);
  ~ScriptServer();

  int Port() const { return port_; }
  // Every request read so far, in order.
  std::vector<QByteArray> Requests() const;
  int Connections() const { return connections_.load(); }

 private:
  void Run();
  void Serve(int fd, const Script& script);

  std::vector<Script> scripts_;
  SSL_CTX* tls_ = nullptr;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<QByteArray> requests_;
  std::thread thread_;
};

// Writes `bytes` to a new temporary file and returns its path (removed at exit).
QString WriteTemporaryFile(const QByteArray& bytes);

}  // namespace orvelle::testing
