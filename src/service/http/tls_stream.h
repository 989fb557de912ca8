#pragma once

#include "service/http/socket_stream.h"

#include <QString>

#include <memory>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace orvelle::http {

// TLS over a connected socket: TLS 1.2 or newer with OpenSSL's default ciphers, the server's
// chain checked against the default trust store (SSL_CERT_FILE / SSL_CERT_DIR apply), the
// host name checked against the certificate, and the server name sent for every host name.
class TlsStream : public ByteStream {
 public:
  // Runs the client handshake for `host`. Throws HttpError "Error connecting with SSL."
  // CR LF and OpenSSL's reason, or "Read timed out." when the server stalls.
  static std::unique_ptr<TlsStream> Handshake(std::unique_ptr<SocketStream> socket, const QString& host,
                                              const WaitLimits& limits);
  ~TlsStream() override;
  TlsStream(const TlsStream&) = delete;
  TlsStream& operator=(const TlsStream&) = delete;

  size_t Read(char* data, size_t size, const WaitLimits& limits) override;
  void Write(const char* data, size_t size, const WaitLimits& limits) override;
  bool WaitReadable(std::chrono::milliseconds wait) override;
  bool IsIdleAndOpen() override;
  int Descriptor() const override { return socket_->Descriptor(); }

 private:
  TlsStream(std::unique_ptr<SocketStream> socket, SSL_CTX* context, SSL* ssl)
      : socket_(std::move(socket)), context_(context), ssl_(ssl) {}

  std::unique_ptr<SocketStream> socket_;
  SSL_CTX* context_;
  SSL* ssl_;
  bool written_since_read_ = false;  // the next read waits for data before reading
};

}  // namespace orvelle::http
