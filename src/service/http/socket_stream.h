#pragma once

#include "service/http/byte_stream.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <sys/socket.h>

namespace orvelle::http {

// One address that a host name stands for, ready for connect().
struct ResolvedAddress {
  sockaddr_storage address{};
  socklen_t length = 0;
};

// Looks a host name (in ASCII form) up for `port`: an IPv6 address when `ipv6`, else IPv4.
// Throws SocketError when the name cannot be resolved. It may block for as long as it
// likes: the client runs it on a worker thread and stops waiting for it at its time-outs.
using Resolver = std::function<ResolvedAddress(const QByteArray& name, bool ipv6, int port)>;

// The system's resolver (getaddrinfo, so /etc/hosts and every name service the system is
// set up with apply); the first address returned is used.
ResolvedAddress SystemResolve(const QByteArray& name, bool ipv6, int port);

// Runs `resolver` on a worker thread and waits for it until `until` at most; then throws
// SocketError ETIMEDOUT and leaves the lookup to finish on its own.
ResolvedAddress ResolveWithin(const Resolver& resolver, const QByteArray& name, bool ipv6, int port,
                              Clock::time_point until);

// Waits for `events` on a descriptor as `limits` allow; false when the time ran out.
bool WaitForSocket(int fd, short events, const WaitLimits& limits);

// A TCP connection over a non-blocking POSIX socket; every wait goes through poll() so that
// no read, write or connect can outlast its time-out.
class SocketStream : public ByteStream {
 public:
  // Resolves `host` with `resolver` (IPv6 when `ipv6`, else IPv4) and connects. Resolving and
  // connecting together take at most `connect_timeout`, and never run past `deadline`.
  // Throws SocketError.
  static std::unique_ptr<SocketStream> Connect(const QString& host, bool ipv6, int port,
                                               std::chrono::milliseconds connect_timeout,
                                               Clock::time_point deadline, const Resolver& resolver = SystemResolve);
  explicit SocketStream(int fd) : fd_(fd) {}
  ~SocketStream() override;
  SocketStream(const SocketStream&) = delete;
  SocketStream& operator=(const SocketStream&) = delete;

  size_t Read(char* data, size_t size, const WaitLimits& limits) override;
  void Write(const char* data, size_t size, const WaitLimits& limits) override;
  bool WaitReadable(std::chrono::milliseconds wait) override;
  bool DiscardPendingAndCheckOpen() override;

  int Descriptor() const override { return fd_; }

 private:
  int fd_;
  bool written_since_read_ = false;  // the next read waits for data before receiving
};

// Throws the SocketError for an errno value.
[[noreturn]] void ThrowSocketError(int error_number);

}  // namespace orvelle::http
