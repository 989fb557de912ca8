#include "radio/client_requests.h"

#include "toolkit/network_wait.h"

namespace orvelle {

QString GetText(http::HttpClient& client, const QString& url) {
  QString text;
  WaitForNetwork([&] { text = client.Get(url); }, [&] { client.Abort(); });
  return text;
}

void GetBytes(http::HttpClient& client, const QString& url, QByteArray& buffer) {
  WaitForNetwork([&] { client.Get(url, buffer); }, [&] { client.Abort(); });
}

}  // namespace orvelle
