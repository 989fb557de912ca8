#include "radio/client_requests.h"

#include <memory>

namespace orvelle {

ClientRequests::ClientRequests(http::HttpClient& client) : client_(client), queue_([&client] { client.Abort(); }) {}

ClientRequests::Id ClientRequests::GetText(const QString& url, TextDone done) {
  auto text = std::make_shared<QString>();
  return queue_.Submit([this, url, text] { *text = client_.Get(url); },
                       [text, done = std::move(done)](std::exception_ptr error) { done(*text, error); });
}

ClientRequests::Id ClientRequests::GetBytes(const QString& url, Prepare prepare, BytesDone done) {
  auto bytes = std::make_shared<QByteArray>();
  return queue_.Submit(
      [this, url, bytes, prepare = std::move(prepare)] {
        if (prepare) prepare(client_);
        client_.Get(url, *bytes);
      },
      [bytes, done = std::move(done)](std::exception_ptr error) {
        done(error ? QByteArray() : *bytes, error);
      });
}

ClientRequests::Id ClientRequests::Configure(Prepare prepare, std::function<void()> done) {
  return queue_.Submit([this, prepare = std::move(prepare)] { prepare(client_); },
                       [done = std::move(done)](std::exception_ptr) { done(); });
}

}  // namespace orvelle
