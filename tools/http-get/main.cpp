// http-get [--bytes] [--headers] URL [URL ...]
//
// Gets each address in turn with one client, so that the connection and the cookies carry
// over from one address to the next, and prints the body as text (decoded with the
// response's charset). With --bytes the body bytes go to standard output unchanged.
// With --headers the status line and header lines of each response go to standard error.
// On failure it prints the kind of error and its message (and the status of a protocol
// error) to standard error and exits with 1.

#include "service/http/http_client.h"

#include <QString>

#include <cstdio>
#include <cstring>

using namespace orvelle::http;

namespace {

void PrintUsage() {
  std::fprintf(stderr,
               "usage: http-get [--bytes] [--headers] URL [URL ...]\n"
               "  --bytes    write the body bytes to standard output instead of the decoded text\n"
               "  --headers  print each response's status line and header lines to standard error\n");
}

void PrintHeaders(const HttpClient& client) {
  std::fprintf(stderr, "%s\n", client.Response().StatusLine.toUtf8().constData());
  for (const QString& line : client.Response().RawHeaders) std::fprintf(stderr, "%s\n", line.toUtf8().constData());
  std::fprintf(stderr, "\n");
}

}  // namespace

int main(int argc, char** argv) {
  bool bytes = false;
  bool headers = false;
  QStringList urls;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--bytes") == 0) {
      bytes = true;
    } else if (std::strcmp(argv[i], "--headers") == 0) {
      headers = true;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage();
      return 0;
    } else {
      urls.append(QString::fromLocal8Bit(argv[i]));
    }
  }
  if (urls.isEmpty()) {
    PrintUsage();
    return 2;
  }

  HttpClient client;
  for (const QString& url : urls) {
    try {
      if (bytes) {
        QByteArray body;
        client.Get(url, body);
        std::fwrite(body.constData(), 1, static_cast<size_t>(body.size()), stdout);
      } else {
        const QByteArray text = client.Get(url).toUtf8();
        std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
        std::fputc('\n', stdout);
      }
      std::fflush(stdout);
      if (headers) PrintHeaders(client);
    } catch (const HttpProtocolError& error) {
      if (headers) PrintHeaders(client);
      std::fprintf(stderr, "HttpProtocolError %d: %s\n%s\n", error.ErrorCode(), error.Message().toUtf8().constData(),
                   error.ErrorMessage().toUtf8().constData());
      return 1;
    } catch (const SocketError& error) {
      std::fprintf(stderr, "SocketError %d: %s\n", error.LastError(), error.Message().toUtf8().constData());
      return 1;
    } catch (const HttpError& error) {
      std::fprintf(stderr, "HttpError: %s\n", error.Message().toUtf8().constData());
      return 1;
    }
  }
  return 0;
}
