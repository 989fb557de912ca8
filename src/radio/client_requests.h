#pragma once

// The shared HTTP client's GETs, run one at a time off the user-interface thread
// (toolkit/request_queue.h): nothing waits for them, and each answer is handed to its callback
// on the user-interface thread. The client is only touched by the worker while requests run,
// so request settings that belong to a request are set in its `prepare` step.

#include "service/http/http_client.h"
#include "toolkit/request_queue.h"

#include <QByteArray>
#include <QString>

#include <exception>
#include <functional>

namespace orvelle {

class ClientRequests {
 public:
  using Id = RequestQueue::Id;
  // Runs on the worker right before the GET, with the client to itself.
  using Prepare = std::function<void(http::HttpClient&)>;
  // The body, or the request's error (the body is then empty).
  using TextDone = std::function<void(const QString& text, std::exception_ptr error)>;
  using BytesDone = std::function<void(const QByteArray& bytes, std::exception_ptr error)>;

  explicit ClientRequests(http::HttpClient& client);

  Id GetText(const QString& url, TextDone done);
  Id GetBytes(const QString& url, Prepare prepare, BytesDone done);
  // Runs `prepare` on the client in its turn, without a request; `done` follows.
  Id Configure(Prepare prepare, std::function<void()> done);
  // The request's answer is dropped; a running request is aborted.
  void Cancel(Id id) { queue_.Cancel(id); }

 private:
  http::HttpClient& client_;
  RequestQueue queue_;
};

}  // namespace orvelle
