#include "service/http/tls_stream.h"

#include "service/http/http_error.h"
#include "service/http/url.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>

namespace orvelle::http {

namespace {

constexpr size_t kTlsReadBufferSize = 64 * 1024;

// A BIO over the socket that sends with MSG_NOSIGNAL, so that a peer which has gone away
// gives an error instead of a SIGPIPE that would end the program.
int BioWrite(BIO* bio, const char* data, int size) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
  BIO_clear_retry_flags(bio);
  const ssize_t n = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) BIO_set_retry_write(bio);
  return static_cast<int>(n);
}

int BioRead(BIO* bio, char* data, int size) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
  BIO_clear_retry_flags(bio);
  const ssize_t n = ::recv(fd, data, static_cast<size_t>(size), 0);
  if (n > 0) AcknowledgeAtOnce(fd);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) BIO_set_retry_read(bio);
  return static_cast<int>(n);
}

long BioControl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int BioCreate(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

BIO_METHOD* SocketBioMethod() {
  static std::once_flag once;
  static BIO_METHOD* method = nullptr;
  std::call_once(once, [] {
    method = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "orvelle socket");
    BIO_meth_set_write(method, BioWrite);
    BIO_meth_set_read(method, BioRead);
    BIO_meth_set_ctrl(method, BioControl);
    BIO_meth_set_create(method, BioCreate);
  });
  return method;
}

QString OpenSslReason(SSL* ssl, int ssl_error) {
  const unsigned long code = ERR_peek_error();
  const bool eof = (ssl_error == SSL_ERROR_SYSCALL && code == 0) || ssl_error == SSL_ERROR_ZERO_RETURN ||
                   ERR_GET_REASON(code) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
  if (eof) {
    ERR_clear_error();
    return QStringLiteral("EOF was observed that violates the protocol");
  }
  QString text;
  if (code != 0) {
    char buffer[256];
    ERR_error_string_n(code, buffer, sizeof buffer);
    text = QString::fromLatin1(buffer);
  } else {
    text = QString::fromLocal8Bit(std::strerror(errno));
  }
  const long verify = ssl ? SSL_get_verify_result(ssl) : X509_V_OK;
  if (verify != X509_V_OK) {
    text += QStringLiteral(" (") + QString::fromLatin1(X509_verify_cert_error_string(verify)) + QLatin1Char(')');
  }
  ERR_clear_error();
  return text;
}

[[noreturn]] void ThrowHandshakeError(const QString& reason) {
  throw HttpError(QString::fromLatin1(kSslConnectFailed) + QStringLiteral("\r\n") + reason);
}

// Waits as an SSL call that returned `ssl_error` asks; false for any other error.
bool WaitAsAsked(int fd, int ssl_error, const WaitLimits& limits, bool* timed_out) {
  short events = 0;
  if (ssl_error == SSL_ERROR_WANT_READ) events = POLLIN;
  else if (ssl_error == SSL_ERROR_WANT_WRITE) events = POLLOUT;
  else return false;
  *timed_out = !WaitForSocket(fd, events, limits);
  return !*timed_out;
}

}  // namespace

std::unique_ptr<TlsStream> TlsStream::Handshake(std::unique_ptr<SocketStream> socket, const QString& host,
                                                const WaitLimits& limits) {
  ERR_clear_error();
  SSL_CTX* context = SSL_CTX_new(TLS_client_method());
  if (context == nullptr) ThrowHandshakeError(OpenSslReason(nullptr, SSL_ERROR_SSL));
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  // Read ahead: one receive takes whatever records have arrived (up to a larger buffer)
  // instead of one for each record's header and one for its body.
  SSL_CTX_set_read_ahead(context, 1);
  SSL_CTX_set_default_read_buffer_len(context, kTlsReadBufferSize);
  SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_default_verify_paths(context);
  SSL* ssl = SSL_new(context);
  if (ssl == nullptr) {
    SSL_CTX_free(context);
    ThrowHandshakeError(OpenSslReason(nullptr, SSL_ERROR_SSL));
  }
  // From here the stream owns the context and the connection, and frees them on failure.
  std::unique_ptr<TlsStream> stream(new TlsStream(std::move(socket), context, ssl));
  const int fd = stream->socket_->Descriptor();
  BIO* bio = BIO_new(SocketBioMethod());
  BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(fd)));
  SSL_set_bio(ssl, bio, bio);

  // An internationalised name is sent and checked in its ASCII form.
  const QByteArray name = AsciiHostName(host);
  if (IsIpAddress(host)) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), name.constData());
  } else {
    // Server names are host names only; a literal address is not a valid server name.
    SSL_set_tlsext_host_name(ssl, name.constData());
    SSL_set1_host(ssl, name.constData());
  }

  for (;;) {
    ERR_clear_error();
    errno = 0;
    const int rc = SSL_connect(ssl);
    if (rc == 1) break;
    const int error = SSL_get_error(ssl, rc);
    bool timed_out = false;
    if (WaitAsAsked(fd, error, limits, &timed_out)) continue;
    if (timed_out) throw HttpError(QString::fromLatin1(kReadTimedOut));
    ThrowHandshakeError(OpenSslReason(ssl, error));
  }
  return stream;
}

TlsStream::~TlsStream() {
  SSL_set_quiet_shutdown(ssl_, 1);
  SSL_shutdown(ssl_);
  SSL_free(ssl_);
  SSL_CTX_free(context_);
  ERR_clear_error();
}

size_t TlsStream::Read(char* data, size_t size, const WaitLimits& limits) {
  // A peer that keeps sending cannot stretch a request past its deadline either.
  if (limits.deadline != Clock::time_point::max() && Clock::now() >= limits.deadline) {
    throw HttpError(QString::fromLatin1(kReadTimedOut));
  }
  // Right after a request the answer has hardly ever arrived yet: wait before the first read.
  if (written_since_read_) {
    written_since_read_ = false;
    if (!SSL_has_pending(ssl_) && !WaitForSocket(socket_->Descriptor(), POLLIN, limits)) {
      throw HttpError(QString::fromLatin1(kReadTimedOut));
    }
  }
  for (;;) {
    ERR_clear_error();
    errno = 0;
    size_t n = 0;
    const int rc = SSL_read_ex(ssl_, data, size, &n);
    if (rc == 1) return n;
    const int error = SSL_get_error(ssl_, rc);
    bool timed_out = false;
    if (WaitAsAsked(socket_->Descriptor(), error, limits, &timed_out)) continue;
    if (timed_out) throw HttpError(QString::fromLatin1(kReadTimedOut));
    if (error == SSL_ERROR_ZERO_RETURN) return 0;
    const unsigned long code = ERR_peek_error();
    if ((error == SSL_ERROR_SYSCALL && code == 0 && errno == 0) ||
        ERR_GET_REASON(code) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
      // A peer that closes the socket without a close_notify ends the stream all the same.
      ERR_clear_error();
      return 0;
    }
    if (error == SSL_ERROR_SYSCALL && code == 0) ThrowSocketError(errno);
    throw HttpError(OpenSslReason(ssl_, error));
  }
}

void TlsStream::Write(const char* data, size_t size, const WaitLimits& limits) {
  written_since_read_ = true;
  while (size > 0) {
    ERR_clear_error();
    errno = 0;
    size_t n = 0;
    const int rc = SSL_write_ex(ssl_, data, size, &n);
    if (rc == 1) {
      data += n;
      size -= n;
      continue;
    }
    const int error = SSL_get_error(ssl_, rc);
    bool timed_out = false;
    if (WaitAsAsked(socket_->Descriptor(), error, limits, &timed_out)) continue;
    if (timed_out) ThrowSocketError(ETIMEDOUT);
    if (error == SSL_ERROR_SYSCALL && ERR_peek_error() == 0) ThrowSocketError(errno ? errno : EPIPE);
    throw HttpError(OpenSslReason(ssl_, error));
  }
}

bool TlsStream::WaitReadable(std::chrono::milliseconds wait) {
  // Read ahead may hold received bytes that are not yet decrypted; they count as arrived.
  if (SSL_has_pending(ssl_)) return true;
  return socket_->WaitReadable(wait);
}

bool TlsStream::IsIdleAndOpen() {
  // A peek also takes in records that carry no data (TLS 1.3 session tickets); only
  // application bytes, a close or a failure make the connection unfit for reuse.
  ERR_clear_error();
  char probe = 0;
  size_t n = 0;
  const int rc = SSL_peek_ex(ssl_, &probe, 1, &n);
  if (rc == 1) return false;
  const int error = SSL_get_error(ssl_, rc);
  ERR_clear_error();
  if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) return false;
  // Bytes short of a whole record are unasked bytes all the same.
  return socket_->IsIdleAndOpen();
}

}  // namespace orvelle::http
