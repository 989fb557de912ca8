// Sequential keep-alive GETs of a 1 KiB body, and one 16 MiB body, with our client and with
// libcurl against the same loopback server, in the same run. Prints requests per second,
// MB/s and the ratio ours / libcurl (above 1: ours is faster).
//
//   build/test/bench/http/bench_http

#include "median_reporter.h"
#include "service/http/http_client.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
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

// Answers every request on every connection: "/small" with 1 KiB, anything else with 16 MiB.
class LoopbackServer {
 public:
  LoopbackServer() {
    small_ = Answer(QByteArray(kSmallBody, 's'));
    large_ = Answer(QByteArray(kLargeBody, 'L'));
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
    std::string pending;
    char buffer[16384];
    while (!stopping_) {
      size_t end;
      while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) {
          if (stopping_) break;
          continue;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
          ::close(fd);
          return;
        }
        pending.append(buffer, static_cast<size_t>(n));
      }
      if (stopping_) break;
      const bool small = pending.compare(0, 11, "GET /small ") == 0;
      pending.erase(0, end + 4);
      const QByteArray& answer = small ? small_ : large_;
      qsizetype done = 0;
      while (done < answer.size()) {
        const ssize_t n = ::send(fd, answer.constData() + done, static_cast<size_t>(answer.size() - done), MSG_NOSIGNAL);
        if (n <= 0) {
          ::close(fd);
          return;
        }
        done += n;
      }
    }
    ::close(fd);
  }

  QByteArray small_, large_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::vector<std::thread> workers_;
};

LoopbackServer* server = nullptr;

std::string Url(const char* path) { return "http://127.0.0.1:" + std::to_string(server->Port()) + path; }

size_t CurlWrite(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

void Ours(benchmark::State& state, const char* path, int requests, qsizetype body_size) {
  orvelle::http::HttpClient client;
  const QString url = QString::fromStdString(Url(path));
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

void Curl(benchmark::State& state, const char* path, int requests, qsizetype body_size) {
  CURL* curl = curl_easy_init();
  const std::string url = Url(path);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CurlWrite);
  curl_easy_setopt(curl, CURLOPT_TCP_NODELAY, 1L);
  for (auto _ : state) {
    for (int i = 0; i < requests; ++i) {
      std::string body;
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

void BM_KeepAlive1KiB_Ours(benchmark::State& s) { Ours(s, "/small", kRequestsPerRun, kSmallBody); }
void BM_KeepAlive1KiB_Curl(benchmark::State& s) { Curl(s, "/small", kRequestsPerRun, kSmallBody); }
void BM_Body16MiB_Ours(benchmark::State& s) { Ours(s, "/large", 1, kLargeBody); }
void BM_Body16MiB_Curl(benchmark::State& s) { Curl(s, "/large", 1, kLargeBody); }

BENCHMARK(BM_KeepAlive1KiB_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_KeepAlive1KiB_Curl)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_Body16MiB_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_Body16MiB_Curl)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

// Prints the ratios at the end, each from the medians of both sides' real time per iteration.
class RatioReporter : public orvelle::bench::MedianReporter {
 public:
  void PrintRatios() const {
    std::printf("\n%-12s %14s %14s %12s %12s %8s\n", "case", "ours req/s", "curl req/s", "ours MB/s", "curl MB/s",
                "ratio");
    Print("1 KiB x2000", "BM_KeepAlive1KiB_Ours", "BM_KeepAlive1KiB_Curl", kRequestsPerRun, kSmallBody);
    Print("16 MiB", "BM_Body16MiB_Ours", "BM_Body16MiB_Curl", 1, kLargeBody);
  }

 private:
  void Print(const char* label, const char* ours, const char* curl, int requests, qsizetype body) const {
    const std::optional<double> o = MedianSeconds(ours);
    const std::optional<double> c = MedianSeconds(curl);
    if (!o || !c) return;
    const double mb = static_cast<double>(requests) * static_cast<double>(body) / 1e6;
    std::printf("%-12s %14.0f %14.0f %12.1f %12.1f %8.2f\n", label, requests / *o, requests / *c, mb / *o, mb / *c,
                *c / *o);
  }
};

}  // namespace

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  benchmark::Initialize(&argc, argv);
  LoopbackServer loopback;
  server = &loopback;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  server = nullptr;
  curl_global_cleanup();
  return 0;
}
