// Parses arbitrary text as an address, resolves it as a link against the service's address,
// and sends a request for it to an in-memory server.
// Whatever the address holds, the target never carries the fragment, and the request that
// goes out is one request: its only empty line is the one that ends it, and its target holds
// only what a path or query may carry raw, every "%" starting an escape.
#include "service/http/http_client.h"
#include "service/http/url.h"

#include <cstdint>
#include <cstdlib>

using namespace orvelle::http;

namespace {

class Recorder : public MemoryStream {
 public:
  explicit Recorder(QByteArray* log) : MemoryStream("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"), log_(log) {}
  void Write(const char* data, size_t size, const WaitLimits&) override { log_->append(data, static_cast<qsizetype>(size)); }

 private:
  QByteArray* log_;
};

// RFC 3986: unreserved characters, sub-delimiters, ":", "@", "/", "?" and "%" escapes.
bool IsCleanTarget(const QByteArray& target) {
  static const QByteArray kRaw = "-._~!$&'()*+,;=:@/?";
  for (qsizetype i = 0; i < target.size(); ++i) {
    const char c = target[i];
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || kRaw.contains(c)) continue;
    if (c != '%' || i + 2 >= target.size() || HexDigitValue(static_cast<unsigned char>(target[i + 1])) < 0 ||
        HexDigitValue(static_cast<unsigned char>(target[i + 2])) < 0) {
      return false;
    }
  }
  return true;
}

// The target of the request line "GET <target> HTTP/1.x".
QByteArray RequestTarget(const QByteArray& request) {
  const QByteArray line = request.left(request.indexOf("\r\n"));
  return line.mid(4, line.lastIndexOf(' ') - 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString address = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const Url url = ParseUrl(address);
  if (!url.path.startsWith(QLatin1Char('/'))) std::abort();
  if (url.Target().contains(QLatin1Char('#'))) std::abort();
  (void)DefaultPort(url.protocol);
  (void)IsIpAddress(url.host);

  // As a link found in an answer: what it resolves to is an http or https address with a
  // host, which resolves to itself again.
  const QString base = QStringLiteral("https://kestra.fm/j/v2/playlist?channel=-10");
  if (const std::optional<QString> resolved = ResolveHttpAddress(base, address)) {
    const Url link = ParseUrl(*resolved);
    if (DefaultPort(link.protocol) == 0 || link.host.isEmpty()) std::abort();
    if (ResolveHttpAddress(base, *resolved) != resolved) std::abort();
  }

  HttpClient client;
  QByteArray written;
  client.SetConnector([&](const ConnectTarget&) -> std::unique_ptr<ByteStream> { return std::make_unique<Recorder>(&written); });
  try {
    (void)client.Get(address);
  } catch (const HttpError&) {
  }
  if (!written.isEmpty()) {
    if (!written.endsWith("\r\n\r\n") || written.indexOf("\r\n\r\n") != written.size() - 4) std::abort();
    if (written.count('\n') != written.count("\r\n")) std::abort();
    if (!IsCleanTarget(RequestTarget(written))) std::abort();
  }
  return 0;
}
