// Feeds arbitrary bytes to the client as the answer of a server, through the same reading
// code the network path uses. The first byte chooses how the bytes are cut into reads, and
// whether the body is asked for as text or as bytes.
#include "service/http/http_client.h"

#include <cstdint>
#include <cstring>

using namespace orvelle::http;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const QByteArray answer(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  const size_t piece = (mode & 0x7F) + 1;

  HttpClient client;
  client.RedirectBodyWait = std::chrono::milliseconds(0);
  client.SetConnector([&](const ConnectTarget&) -> std::unique_ptr<ByteStream> {
    return std::make_unique<MemoryStream>(answer, piece);
  });
  try {
    if (mode & 0x80) {
      QByteArray body;
      client.Get(QStringLiteral("http://h/x"), body);
    } else {
      (void)client.Get(QStringLiteral("https://h/x"));
    }
  } catch (const HttpError&) {
  }
  return 0;
}
