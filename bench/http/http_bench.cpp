// Sequential keep-alive GETs of a 1 KiB body, and one 16 MiB body, with our client and with
// libcurl against the same loopback server, in the same run, over plain TCP and over TLS
// (certificate chain and host name checked by both clients). Prints requests per second,
// MB/s and the ratio ours / libcurl (above 1: ours is faster). Also the client's CPU time for
// a 32 MiB body sent in 64 KiB chunks against the same body sent with a Content-Length, and
// their ratio (the goal: chunked at most 1.2 times the Content-Length case).
//
//   build/test/bench/http/bench_http

#include "median_reporter.h"
#include "service/cookie_jar.h"
#include "service/http/charsets.h"
#include "service/http/http_client.h"
#include "test_certificates.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <QTemporaryFile>

#include <arpa/inet.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRequestsPerRun = 2000;
constexpr qsizetype kSmallBody = 1024;
constexpr qsizetype kLargeBody = 16 * 1024 * 1024;
constexpr qsizetype kFramingBody = 32 * 1024 * 1024;  // the largest body the client accepts
constexpr qsizetype kFramingChunk = 64 * 1024;

// One accepted connection of the loopback server, plain or TLS, on a blocking socket.
class ServerConnection {
 public:
  ServerConnection(int fd, SSL_CTX* tls) : fd_(fd) {
    if (!tls) return;
    ssl_ = SSL_new(tls);
    SSL_set_fd(ssl_, fd);
    if (SSL_accept(ssl_) != 1) {
      ERR_clear_error();
      SSL_free(ssl_);
      ssl_ = nullptr;
      failed_ = true;
    }
  }
  ~ServerConnection() {
    if (ssl_) {
      SSL_shutdown(ssl_);
      SSL_free(ssl_);
    }
    ::close(fd_);
  }
  bool Failed() const { return failed_; }
  bool WaitReadable(int ms) {
    if (ssl_ && SSL_pending(ssl_) > 0) return true;
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
  }
  // Bytes received; 0 once the peer has gone.
  size_t Receive(char* data, size_t size) {
    if (ssl_) {
      size_t n = 0;
      return SSL_read_ex(ssl_, data, size, &n) == 1 ? n : 0;
    }
    const ssize_t n = ::recv(fd_, data, size, 0);
    return n > 0 ? static_cast<size_t>(n) : 0;
  }
  bool SendAll(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
      size_t n = 0;
      const size_t left = static_cast<size_t>(bytes.size() - done);
      if (ssl_) {
        if (SSL_write_ex(ssl_, bytes.constData() + done, left, &n) != 1) return false;
      } else {
        const ssize_t sent = ::send(fd_, bytes.constData() + done, left, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        n = static_cast<size_t>(sent);
      }
      done += static_cast<qsizetype>(n);
    }
    return true;
  }

 private:
  int fd_;
  SSL* ssl_ = nullptr;
  bool failed_ = false;
};

// Answers every request on every connection: "/small" with 1 KiB, "/length" and "/chunked"
// with 32 MiB (with a Content-Length, and in 64 KiB chunks), anything else with 16 MiB.
// With `tls`, the connections speak TLS with that server context.
class LoopbackServer {
 public:
  explicit LoopbackServer(SSL_CTX* tls = nullptr) : tls_(tls) {
    small_ = Answer(QByteArray(kSmallBody, 's'));
    large_ = Answer(QByteArray(kLargeBody, 'L'));
    if (!tls) {
      length_ = Answer(QByteArray(kFramingBody, 'F'));
      chunked_ = ChunkedAnswer(QByteArray(kFramingBody, 'F'), kFramingChunk);
    }
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listen_fd_, 16);
    socklen_t length = sizeof address;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { Accept(); });
  }
  ~LoopbackServer() {
    stopping_ = true;
    acceptor_.join();
    for (auto& t : workers_) t.join();
    ::close(listen_fd_);
  }
  int Port() const { return port_; }

 private:
  static QByteArray Answer(const QByteArray& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
  }
  static QByteArray ChunkedAnswer(const QByteArray& body, qsizetype chunk) {
    QByteArray answer = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (qsizetype at = 0; at < body.size(); at += chunk) {
      const qsizetype size = std::min(chunk, body.size() - at);
      answer += QByteArray::number(size, 16) + "\r\n" + body.mid(at, size) + "\r\n";
    }
    return answer + "0\r\n\r\n";
  }
  const QByteArray& AnswerFor(const std::string& request) const {
    const auto asks = [&](const char* path) { return request.compare(0, std::strlen(path), path) == 0; };
    if (asks("GET /small ")) return small_;
    if (asks("GET /length ")) return length_;
    if (asks("GET /chunked ")) return chunked_;
    return large_;
  }
  void Accept() {
    while (!stopping_) {
      pollfd p{listen_fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const int fd = ::accept(listen_fd_, nullptr, nullptr);
      if (fd < 0) continue;
      const int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      workers_.emplace_back([this, fd] { Serve(fd); });
    }
  }
  void Serve(int fd) {
    ServerConnection connection(fd, tls_);
    if (connection.Failed()) return;
    std::string pending;
    char buffer[16384];
    while (!stopping_) {
      size_t end;
      while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        if (!connection.WaitReadable(20)) {
          if (stopping_) return;
          continue;
        }
        const size_t n = connection.Receive(buffer, sizeof buffer);
        if (n == 0) return;
        pending.append(buffer, n);
      }
      const QByteArray& answer = AnswerFor(pending);
      pending.erase(0, end + 4);
      if (!connection.SendAll(answer)) return;
    }
  }

  SSL_CTX* tls_;
  QByteArray small_, large_, length_, chunked_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::vector<std::thread> workers_;
};

LoopbackServer* server = nullptr;
LoopbackServer* tls_server = nullptr;
std::string authority_file;  // the certificate authority that both clients trust over TLS

std::string Url(const char* path) { return "http://127.0.0.1:" + std::to_string(server->Port()) + path; }
// The TLS server's certificate names "localhost": both clients check that name.
std::string TlsUrl(const char* path) { return "https://localhost:" + std::to_string(tls_server->Port()) + path; }

size_t CurlWrite(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

void Ours(benchmark::State& state, const std::string& address, int requests, qsizetype body_size) {
  orvelle::http::HttpClient client;
  const QString url = QString::fromStdString(address);
  for (auto _ : state) {
    for (int i = 0; i < requests; ++i) {
      QByteArray body;
      client.Get(url, body);
      if (body.size() != body_size) state.SkipWithError("short body");
      benchmark::DoNotOptimize(body.constData());
    }
  }
  state.SetItemsProcessed(state.iterations() * requests);
  state.SetBytesProcessed(state.iterations() * requests * body_size);
}

void Curl(benchmark::State& state, const std::string& url, int requests, qsizetype body_size) {
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CurlWrite);
  curl_easy_setopt(curl, CURLOPT_TCP_NODELAY, 1L);
  // The same checks as ours: the chain against the test authority, and the host name.
  curl_easy_setopt(curl, CURLOPT_CAINFO, authority_file.c_str());
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  for (auto _ : state) {
    for (int i = 0; i < requests; ++i) {
      // Like ours, which makes room for an announced length at once, libcurl writes into a
      // buffer reserved for the whole body.
      std::string body;
      body.reserve(static_cast<size_t>(body_size));
      curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
      if (curl_easy_perform(curl) != CURLE_OK || static_cast<qsizetype>(body.size()) != body_size) {
        state.SkipWithError("curl failed");
      }
      benchmark::DoNotOptimize(body.data());
    }
  }
  curl_easy_cleanup(curl);
  state.SetItemsProcessed(state.iterations() * requests);
  state.SetBytesProcessed(state.iterations() * requests * body_size);
}

void BM_KeepAlive1KiB_Ours(benchmark::State& s) { Ours(s, Url("/small"), kRequestsPerRun, kSmallBody); }
void BM_KeepAlive1KiB_Curl(benchmark::State& s) { Curl(s, Url("/small"), kRequestsPerRun, kSmallBody); }
void BM_Body16MiB_Ours(benchmark::State& s) { Ours(s, Url("/large"), 1, kLargeBody); }
void BM_Body16MiB_Curl(benchmark::State& s) { Curl(s, Url("/large"), 1, kLargeBody); }
void BM_TlsKeepAlive1KiB_Ours(benchmark::State& s) { Ours(s, TlsUrl("/small"), kRequestsPerRun, kSmallBody); }
void BM_TlsKeepAlive1KiB_Curl(benchmark::State& s) { Curl(s, TlsUrl("/small"), kRequestsPerRun, kSmallBody); }
void BM_TlsBody16MiB_Ours(benchmark::State& s) { Ours(s, TlsUrl("/large"), 1, kLargeBody); }
void BM_TlsBody16MiB_Curl(benchmark::State& s) { Curl(s, TlsUrl("/large"), 1, kLargeBody); }

// The client's own CPU time (the benchmark thread's; the server runs on threads of its own).
void BM_Body32MiB_Length_Cpu(benchmark::State& s) { Ours(s, Url("/length"), 1, kFramingBody); }
void BM_Body32MiB_Chunked64KiB_Cpu(benchmark::State& s) { Ours(s, Url("/chunked"), 1, kFramingBody); }

BENCHMARK(BM_KeepAlive1KiB_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_KeepAlive1KiB_Curl)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_Body16MiB_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_Body16MiB_Curl)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_TlsKeepAlive1KiB_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_TlsKeepAlive1KiB_Curl)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_TlsBody16MiB_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_TlsBody16MiB_Curl)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_Body32MiB_Length_Cpu)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(5);
BENCHMARK(BM_Body32MiB_Chunked64KiB_Cpu)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(5);

// The cost of storing one cookie in a jar that already holds `count` cookies (50 to a domain,
// the per-domain limit), each store replacing or evicting one: it must not grow with the jar,
// since a hostile site may send thousands. The ratio of 3000 against 50 is printed at the end.
void BM_StoreCookieInJarOf(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  qint64 now = 1'800'000'000'000;
  orvelle::CookieJar jar([&now] { return now; });
  std::vector<orvelle::http::Url> sites;
  for (int d = 0; d < std::max(1, count / 50); ++d) {
    sites.push_back(orvelle::http::ParseUrl(QStringLiteral("http://site%1.example/p/").arg(d)));
  }
  int next = 0;
  auto store = [&] {
    const auto& site = sites[static_cast<size_t>(next) % sites.size()];
    jar.StoreSetCookie(QStringLiteral("c%1=v; Path=/p; Max-Age=3600").arg(next / static_cast<int>(sites.size())), site);
    ++next;
    ++now;
  };
  while (next < count) store();
  for (auto _ : state) store();
  if (jar.Cookies().size() != static_cast<size_t>(count)) state.SkipWithError("the jar lost or gained cookies");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StoreCookieInJarOf)->Arg(50)->Arg(3000)->Repetitions(3);

// Memory of turning a 32 MiB body into text: the peak resident memory that the conversion
// adds, in MB, against the body's size. Linux's peak mark (VmHWM) is reset before each run.
long StatusKiB(const char* field) {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return -1;
  char line[256];
  long value = -1;
  const size_t length = std::strlen(field);
  while (std::fgets(line, sizeof line, status)) {
    if (std::strncmp(line, field, length) == 0) value = std::strtol(line + length, nullptr, 10);
  }
  std::fclose(status);
  return value;
}

bool ResetPeakMemory() {
  std::FILE* clear = std::fopen("/proc/self/clear_refs", "w");
  if (!clear) return false;
  const bool ok = std::fputs("5", clear) >= 0;
  return std::fclose(clear) == 0 && ok;
}

void TextConversionMemory(benchmark::State& state, const QByteArray& unit, const char* charset) {
  constexpr qsizetype kBody = 32 * 1024 * 1024;
  const QByteArray body = unit.repeated(kBody / unit.size());
  double peak_mb = 0;
  for (auto _ : state) {
    if (!ResetPeakMemory()) {
      state.SkipWithError("cannot reset the peak memory mark");
      return;
    }
    const long before = StatusKiB("VmRSS:");
    {
      const QString text = orvelle::http::DecodeBody(body, QString::fromLatin1(charset));
      benchmark::DoNotOptimize(text.constData());
      peak_mb = std::max(peak_mb, (StatusKiB("VmHWM:") - before) * 1024.0 / 1e6);
    }
  }
  state.counters["peak_MB"] = peak_mb;
  state.counters["peak_per_body_byte"] = peak_mb * 1e6 / static_cast<double>(body.size());
}

void BM_TextMemory32MiB_Gbk(benchmark::State& s) { TextConversionMemory(s, "\xd6\xd0", "gbk"); }
void BM_TextMemory32MiB_Utf8(benchmark::State& s) { TextConversionMemory(s, "\xe4\xb8\xad", "utf-8"); }
void BM_TextMemory32MiB_Latin1(benchmark::State& s) { TextConversionMemory(s, "x", ""); }

BENCHMARK(BM_TextMemory32MiB_Gbk)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TextMemory32MiB_Utf8)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TextMemory32MiB_Latin1)->Unit(benchmark::kMillisecond)->Iterations(3);

// Prints the ratios at the end, each from the medians of both sides' real time per iteration.
class RatioReporter : public orvelle::bench::MedianReporter {
 public:
  void PrintRatios() const {
    std::printf("\n%-16s %14s %14s %12s %12s %8s\n", "case", "ours req/s", "curl req/s", "ours MB/s", "curl MB/s",
                "ratio");
    Print("1 KiB x2000", "BM_KeepAlive1KiB_Ours", "BM_KeepAlive1KiB_Curl", kRequestsPerRun, kSmallBody);
    Print("16 MiB", "BM_Body16MiB_Ours", "BM_Body16MiB_Curl", 1, kLargeBody);
    Print("TLS 1 KiB x2000", "BM_TlsKeepAlive1KiB_Ours", "BM_TlsKeepAlive1KiB_Curl", kRequestsPerRun, kSmallBody);
    Print("TLS 16 MiB", "BM_TlsBody16MiB_Ours", "BM_TlsBody16MiB_Curl", 1, kLargeBody);
    const std::optional<double> small_jar = MedianSeconds("BM_StoreCookieInJarOf/50");
    const std::optional<double> full_jar = MedianSeconds("BM_StoreCookieInJarOf/3000");
    if (small_jar && full_jar) {
      std::printf("\nstoring a cookie: jar of 50 %.2f us, jar of 3000 %.2f us, ratio %.2f (60 times the cookies)\n",
                  *small_jar * 1e6, *full_jar * 1e6, *full_jar / *small_jar);
    }
    const std::optional<double> length = MedianSeconds("BM_Body32MiB_Length_Cpu");
    const std::optional<double> chunked = MedianSeconds("BM_Body32MiB_Chunked64KiB_Cpu");
    if (length && chunked) {
      std::printf("\n32 MiB body, client CPU: Content-Length %.1f ms, 64 KiB chunks %.1f ms, chunked / length %.2f"
                  " (goal: at most 1.20)\n",
                  *length * 1e3, *chunked * 1e3, *chunked / *length);
    }
  }

 private:
  void Print(const char* label, const char* ours, const char* curl, int requests, qsizetype body) const {
    const std::optional<double> o = MedianSeconds(ours);
    const std::optional<double> c = MedianSeconds(curl);
    if (!o || !c) return;
    const double mb = static_cast<double>(requests) * static_cast<double>(body) / 1e6;
    std::printf("%-16s %14.0f %14.0f %12.1f %12.1f %8.2f\n", label, requests / *o, requests / *c, mb / *o, mb / *c,
                *c / *o);
  }
};

// A TLS server context with a certificate for "localhost" from a new authority, whose
// certificate goes to `authority` (a file both clients are told to trust).
SSL_CTX* NewTlsContext(const orvelle::testing::TestCertificates& certificates, QTemporaryFile& authority) {
  const orvelle::testing::PemPair pair = certificates.ServerCertificate(QStringLiteral("localhost"));
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  BIO* cert_bio = BIO_new_mem_buf(pair.certificate.constData(), static_cast<int>(pair.certificate.size()));
  BIO* key_bio = BIO_new_mem_buf(pair.key.constData(), static_cast<int>(pair.key.size()));
  X509* certificate = PEM_read_bio_X509(cert_bio, nullptr, nullptr, nullptr);
  EVP_PKEY* key = PEM_read_bio_PrivateKey(key_bio, nullptr, nullptr, nullptr);
  SSL_CTX_use_certificate(context, certificate);
  SSL_CTX_use_PrivateKey(context, key);
  X509_free(certificate);
  EVP_PKEY_free(key);
  BIO_free(cert_bio);
  BIO_free(key_bio);
  authority.open();
  authority.write(certificates.AuthorityPem());
  authority.flush();
  return context;
}

}  // namespace

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  benchmark::Initialize(&argc, argv);
  orvelle::testing::TestCertificates certificates;
  QTemporaryFile authority;
  const std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> tls(NewTlsContext(certificates, authority), &SSL_CTX_free);
  authority_file = authority.fileName().toStdString();
  // Our client trusts the default store, which SSL_CERT_FILE replaces.
  ::setenv("SSL_CERT_FILE", authority_file.c_str(), 1);
  LoopbackServer loopback;
  server = &loopback;
  LoopbackServer tls_loopback(tls.get());
  tls_server = &tls_loopback;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  tls_server = nullptr;
  server = nullptr;
  curl_global_cleanup();
  return 0;
}
