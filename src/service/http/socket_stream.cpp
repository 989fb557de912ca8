#include "service/http/socket_stream.h"

#include "service/http/http_error.h"
#include "service/http/url.h"
#include "service/log.h"

#include <arpa/inet.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvelle::http {

namespace {

// Milliseconds left to wait: the smaller of `limit` and what remains before `deadline`.
// Negative when the deadline has passed.
long long WaitBudget(std::chrono::milliseconds limit, Clock::time_point deadline) {
  long long budget = limit.count();
  if (deadline != Clock::time_point::max()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left < budget) budget = left;
  }
  return budget;
}

}  // namespace

void ThrowSocketError(int error_number) {
  throw SocketError(error_number, QString::fromLocal8Bit(std::strerror(error_number)));
}

bool WaitForSocket(int fd, short events, const WaitLimits& limits) {
  for (;;) {
    const long long budget = WaitBudget(limits.io, limits.deadline);
    if (budget < 0) return false;
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(budget, 1 << 30)));
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) ThrowSocketError(errno);
  }
}

ResolvedAddress SystemResolve(const QByteArray& name, bool ipv6, int port) {
  addrinfo hints{};
  hints.ai_family = ipv6 ? AF_INET6 : AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  // A host in square brackets is an address literal, never a name to look up.
  if (ipv6) hints.ai_flags = AI_NUMERICHOST;
  addrinfo* found = nullptr;
  const QByteArray service = QByteArray::number(port);
  const int rc = ::getaddrinfo(name.constData(), service.constData(), &hints, &found);
  if (rc != 0 || found == nullptr) {
    if (rc == EAI_SYSTEM) ThrowSocketError(errno);
    throw SocketError(rc, QString::fromLocal8Bit(::gai_strerror(rc)));
  }
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> holder(found, &::freeaddrinfo);
  ResolvedAddress resolved;
  resolved.length = std::min<socklen_t>(found->ai_addrlen, sizeof resolved.address);
  std::memcpy(&resolved.address, found->ai_addr, resolved.length);
  return resolved;
}

namespace {

// Lookups that time-outs left behind, still running: each holds a thread, so a resolver that
// never answers could otherwise gather threads without end.
constexpr int kMaxLookupsInFlight = 16;
std::atomic<int> lookups_in_flight{0};

// What a lookup hands back to the request that waits for it, if that one still waits.
struct Lookup {
  std::mutex mutex;
  std::condition_variable done_signal;
  bool done = false;
  ResolvedAddress result;
  std::exception_ptr failure;
};

}  // namespace

ResolvedAddress ResolveWithin(const Resolver& resolver, const QByteArray& name, bool ipv6, int port,
                              Clock::time_point until, const std::function<bool()>& aborted) {
  if (lookups_in_flight.load() >= kMaxLookupsInFlight) {
    qCDebug(lcHttp) << "too many name lookups still running; not starting one for" << name;
    ThrowSocketError(ETIMEDOUT);
  }
  auto lookup = std::make_shared<Lookup>();
  ++lookups_in_flight;
  try {
    std::thread([lookup, resolver, name, ipv6, port] {
      ResolvedAddress result;
      std::exception_ptr failure;
      try {
        result = resolver(name, ipv6, port);
      } catch (...) {
        failure = std::current_exception();
      }
      {
        std::lock_guard lock(lookup->mutex);
        lookup->result = result;
        lookup->failure = failure;
        lookup->done = true;
      }
      lookup->done_signal.notify_one();
      --lookups_in_flight;
    }).detach();
  } catch (const std::system_error& error) {
    --lookups_in_flight;
    ThrowSocketError(error.code().value());
  }

  // The wait looks at `aborted` every few milliseconds: an abandoned request does not wait
  // for a lookup that may take until the connect time-out.
  constexpr auto kAbortCheckInterval = std::chrono::milliseconds(20);
  std::unique_lock lock(lookup->mutex);
  while (!lookup->done) {
    if (aborted && aborted()) throw HttpError(QString::fromLatin1(kRequestAborted));
    const Clock::time_point now = Clock::now();
    if (now >= until) {
      qCDebug(lcHttp) << "name lookup of" << name << "did not answer within the connect time-out";
      ThrowSocketError(ETIMEDOUT);
    }
    lookup->done_signal.wait_until(lock, std::min(until, now + kAbortCheckInterval));
  }
  if (lookup->failure) std::rethrow_exception(lookup->failure);
  return lookup->result;
}

std::unique_ptr<SocketStream> SocketStream::Connect(const QString& host, bool ipv6, int port,
                                                    std::chrono::milliseconds connect_timeout,
                                                    Clock::time_point deadline, const Resolver& resolver,
                                                    const AbortWatch& watch) {
  // Resolving counts toward the connect time-out; both end at the request's deadline at the latest.
  const Clock::time_point connect_until = std::min(deadline, Clock::now() + connect_timeout);
  // An internationalised name is looked up in its ASCII form.
  const ResolvedAddress address =
      ResolveWithin(resolver, AsciiHostName(host), ipv6, port, connect_until, watch.aborted);
  const auto* target = reinterpret_cast<const sockaddr*>(&address.address);

  const int fd = ::socket(target->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) ThrowSocketError(errno);
  auto stream = std::make_unique<SocketStream>(fd);
  stream->closing_ = watch.closing;
  if (watch.opened) watch.opened(fd);
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

  if (::connect(fd, target, address.length) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) ThrowSocketError(errno);
    if (!WaitForSocket(fd, POLLOUT, WaitLimits{connect_timeout, connect_until})) ThrowSocketError(ETIMEDOUT);
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) ThrowSocketError(errno);
    if (error != 0) ThrowSocketError(error);
  }
  return stream;
}

void AcknowledgeAtOnce(int fd) {
  const int one = 1;
  // Only a speed-up: a socket that refuses it still works, with delayed acknowledgements.
  ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
}

SocketStream::~SocketStream() {
  if (closing_) closing_();
  if (fd_ >= 0) ::close(fd_);
}

size_t SocketStream::Read(char* data, size_t size, const WaitLimits& limits) {
  // A peer that keeps sending cannot stretch a request past its deadline either.
  if (limits.deadline != Clock::time_point::max() && Clock::now() >= limits.deadline) {
    throw HttpError(QString::fromLatin1(kReadTimedOut));
  }
  // Right after a request the answer has hardly ever arrived yet: wait before the first
  // receive instead of making one that only finds nothing.
  if (written_since_read_) {
    written_since_read_ = false;
    if (!WaitForSocket(fd_, POLLIN, limits)) throw HttpError(QString::fromLatin1(kReadTimedOut));
  }
  for (;;) {
    const ssize_t n = ::recv(fd_, data, size, 0);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) ThrowSocketError(errno);
    // Bytes received so far are acknowledged before waiting for more, so that a server
    // holding its next bytes until then (Nagle's rule) is not kept waiting for a delayed
    // acknowledgement. An answer that came whole needs none: the next request carries it.
    AcknowledgeAtOnce(fd_);
    if (!WaitForSocket(fd_, POLLIN, limits)) throw HttpError(QString::fromLatin1(kReadTimedOut));
  }
}

void SocketStream::Write(const char* data, size_t size, const WaitLimits& limits) {
  written_since_read_ = true;
  while (size > 0) {
    const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) ThrowSocketError(errno);
    if (!WaitForSocket(fd_, POLLOUT, limits)) ThrowSocketError(ETIMEDOUT);
  }
}

bool SocketStream::WaitReadable(std::chrono::milliseconds wait) {
  return WaitForSocket(fd_, POLLIN, WaitLimits{wait, Clock::time_point::max()});
}

bool SocketStream::IsIdleAndOpen() {
  for (;;) {
    char probe = 0;
    const ssize_t n = ::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) return false;  // unasked bytes
    if (n == 0) return false;  // the peer closed
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

}  // namespace orvelle::http
