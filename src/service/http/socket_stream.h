#pragma once

#include "service/http/byte_stream.h"

#include <QString>

#include <memory>

namespace orvelle::http {

// Waits for `events` on a descriptor as `limits` allow; false when the time ran out.
bool WaitForSocket(int fd, short events, const WaitLimits& limits);

// A TCP connection over a non-blocking POSIX socket; every wait goes through poll() so that
// no read, write or connect can outlast its time-out.
class SocketStream : public ByteStream {
 public:
  // Resolves `host` (IPv6 when `ipv6`, else IPv4; the first address returned is used) and
  // connects, waiting at most `connect_timeout` and never past `deadline`. Throws SocketError.
  static std::unique_ptr<SocketStream> Connect(const QString& host, bool ipv6, int port,
                                               std::chrono::milliseconds connect_timeout,
                                               Clock::time_point deadline);
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
};

// Throws the SocketError for an errno value.
[[noreturn]] void ThrowSocketError(int error_number);

}  // namespace orvelle::http
