#pragma once

#include <QByteArray>

#include <chrono>
#include <cstddef>

namespace orvelle::http {

using Clock = std::chrono::steady_clock;

// How long one wait for the peer may last: each read or write waits at most `io`, and
// never past `deadline`, the end of the whole request.
struct WaitLimits {
  std::chrono::milliseconds io{30000};
  Clock::time_point deadline = Clock::time_point::max();
};

// The bytes of one connection, seen by the request writer and the response reader.
// Implemented over a socket, over TLS, and in memory for tests and fuzzing.
class ByteStream {
 public:
  virtual ~ByteStream() = default;

  // Reads at most `size` bytes, waiting as `limits` allow. Returns 0 once the peer has
  // closed. Throws HttpError "Read timed out." when nothing arrives in time.
  virtual size_t Read(char* data, size_t size, const WaitLimits& limits) = 0;
  // Writes every byte or throws.
  virtual void Write(const char* data, size_t size, const WaitLimits& limits) = 0;
  // True when a Read would not wait (data or the peer's close is there), waiting at most `wait`.
  virtual bool WaitReadable(std::chrono::milliseconds wait) = 0;
  // True when the peer has neither closed nor sent anything unasked; never waits. Bytes that
  // no request asked for put the framing of the next answer in doubt (and a peer that
  // trickles them could hold a request until it closes), so such a connection is not reused.
  virtual bool IsIdleAndOpen() = 0;
  // The socket under the stream, -1 when there is none.
  virtual int Descriptor() const { return -1; }
};

// A stream over bytes held in memory: reads hand out the input in pieces of at most
// `piece` bytes and then report the close; writes are collected.
class MemoryStream : public ByteStream {
 public:
  explicit MemoryStream(QByteArray input, size_t piece = 32768) : input_(std::move(input)), piece_(piece ? piece : 1) {}

  size_t Read(char* data, size_t size, const WaitLimits&) override;
  void Write(const char* data, size_t size, const WaitLimits&) override { written_.append(data, static_cast<qsizetype>(size)); }
  bool WaitReadable(std::chrono::milliseconds) override { return true; }
  // All input is handed out at once, after which the stream counts as closed.
  bool IsIdleAndOpen() override { return false; }

  const QByteArray& Written() const { return written_; }

 private:
  QByteArray input_;
  qsizetype position_ = 0;
  size_t piece_;
  QByteArray written_;
};

}  // namespace orvelle::http
