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

// Lets another thread abandon a connection while it is being made: `opened` learns the socket
// as soon as it exists (so that shutting it down ends a connect or a handshake at once),
// `closing` hears of it just before the socket is closed (so that its number, which the system
// may hand out again, is forgotten first), and a name lookup stops waiting once `aborted` says
// so. Each may be empty.
struct AbortWatch {
  std::function<void(int fd)> opened;
  std::function<void()> closing;
  std::function<bool()> aborted;
};

// Runs `resolver` on a worker thread and waits for it until `until` at most; then throws
// SocketError ETIMEDOUT and leaves the lookup to finish on its own. When `aborted` turns true
// meanwhile, it stops waiting and throws HttpError "Request aborted".
ResolvedAddress ResolveWithin(const Resolver& resolver, const QByteArray& name, bool ipv6, int port,
                              Clock::time_point until, const std::function<bool()>& aborted = {});

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
                                               Clock::time_point deadline, const Resolver& resolver = SystemResolve,
                                               const AbortWatch& watch = {});
  explicit SocketStream(int fd) : fd_(fd) {}
  ~SocketStream() override;
  SocketStream(const SocketStream&) = delete;
  SocketStream& operator=(const SocketStream&) = delete;

  size_t Read(char* data, size_t size, const WaitLimits& limits) override;
  void Write(const char* data, size_t size, const WaitLimits& limits) override;
  bool WaitReadable(std::chrono::milliseconds wait) override;
  bool IsIdleAndOpen() override;

  int Descriptor() const override { return fd_; }

 private:
  int fd_;
  std::function<void()> closing_;    // told just before the socket is closed
  bool written_since_read_ = false;  // the next read waits for data before receiving
};

// Acknowledges what the socket has received at once instead of after the delayed-ACK wait
// (40 ms on Linux). A server that writes an answer's head and body separately, with Nagle's
// algorithm on, holds the body back until the head is acknowledged: without this every such
// answer would stall by the delayed-ACK wait. Switching quick acknowledgement on sends an
// acknowledgement that is due at once; the kernel leaves the mode again on its own, so it is
// switched on whenever a plain read is about to wait for more, and after each TLS receive.
void AcknowledgeAtOnce(int fd);

// Throws the SocketError for an errno value.
[[noreturn]] void ThrowSocketError(int error_number);

}  // namespace orvelle::http
