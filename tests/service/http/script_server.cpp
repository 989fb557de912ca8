#include "script_server.h"

#include <QTemporaryFile>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace orvelle::testing {

namespace {

bool WaitFd(int fd, short events, int ms) {
  pollfd p{fd, events, 0};
  return ::poll(&p, 1, ms) > 0;
}

// One connection's byte I/O, plain or TLS, on a blocking socket.
class Connection {
 public:
  Connection(int fd, SSL* ssl) : fd_(fd), ssl_(ssl) {}
  ~Connection() {
    if (ssl_) {
      SSL_shutdown(ssl_);
      SSL_free(ssl_);
    }
    ::close(fd_);
  }
  // Bytes read; 0 at close or error; -1 when nothing came within `ms`.
  long Read(char* data, size_t size, int ms) {
    if (!(ssl_ && SSL_pending(ssl_) > 0) && !WaitFd(fd_, POLLIN, ms)) return -1;
    if (ssl_) {
      const int n = SSL_read(ssl_, data, static_cast<int>(size));
      return n > 0 ? n : 0;
    }
    const ssize_t n = ::recv(fd_, data, size, 0);
    return n > 0 ? n : 0;
  }
  bool Write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
      long n;
      if (ssl_) {
        n = SSL_write(ssl_, bytes.constData() + done, static_cast<int>(bytes.size() - done));
      } else {
        n = ::send(fd_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done), MSG_NOSIGNAL);
      }
      if (n <= 0) return false;
      done += n;
    }
    return true;
  }

 private:
  int fd_;
  SSL* ssl_;
};

}  // namespace

ScriptServer::ScriptServer(std::vector<Script> scripts, const PemPair* tls) : scripts_(std::move(scripts)) {
  // The TLS side writes through OpenSSL's socket BIO; a client that went away must not end
  // the test program with SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  if (tls) {
    tls_ = SSL_CTX_new(TLS_server_method());
    BIO* cert_bio = BIO_new_mem_buf(tls->certificate.constData(), static_cast<int>(tls->certificate.size()));
    X509* certificate = PEM_read_bio_X509(cert_bio, nullptr, nullptr, nullptr);
    BIO* key_bio = BIO_new_mem_buf(tls->key.constData(), static_cast<int>(tls->key.size()));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(key_bio, nullptr, nullptr, nullptr);
    SSL_CTX_use_certificate(tls_, certificate);
    SSL_CTX_use_PrivateKey(tls_, key);
    X509_free(certificate);
    EVP_PKEY_free(key);
    BIO_free(cert_bio);
    BIO_free(key_bio);
  }
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listen_fd_, 16) != 0) {
    throw std::runtime_error("cannot listen on loopback");
  }
  socklen_t length = sizeof address;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

ScriptServer::~ScriptServer() {
  stopping_ = true;
  thread_.join();
  ::close(listen_fd_);
  if (tls_) SSL_CTX_free(tls_);
}

std::vector<QByteArray> ScriptServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void ScriptServer::Run() {
  size_t next = 0;
  while (!stopping_) {
    if (!WaitFd(listen_fd_, POLLIN, 20)) continue;
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    if (next < scripts_.size()) {
      Serve(fd, scripts_[next++]);
    } else {
      ::close(fd);
    }
  }
}

void ScriptServer::Serve(int fd, const Script& script) {
  SSL* ssl = nullptr;
  if (tls_) {
    ssl = SSL_new(tls_);
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) != 1) {
      ERR_clear_error();
      SSL_free(ssl);
      ::close(fd);
      return;
    }
  }
  Connection connection(fd, ssl);
  char buffer[65536];
  QByteArray pending;
  for (const Step& step : script.Steps()) {
    switch (step.kind) {
      case Step::kReadRequest: {
        while (!pending.contains("\r\n\r\n")) {
          if (stopping_) return;
          const long n = connection.Read(buffer, sizeof buffer, 20);
          if (n == 0) return;
          if (n > 0) pending.append(buffer, n);
        }
        const qsizetype end = pending.indexOf("\r\n\r\n") + 4;
        {
          std::lock_guard lock(mutex_);
          requests_.push_back(pending.left(end));
        }
        pending.remove(0, end);
        break;
      }
      case Step::kSend:
        if (!connection.Write(step.bytes)) return;
        break;
      case Step::kStall: {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(step.ms);
        while (!stopping_ && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        break;
      }
      case Step::kDrip: {
        for (qsizetype i = 0; !stopping_; i = (i + 1) % step.bytes.size()) {
          if (!connection.Write(step.bytes.mid(i, 1))) return;
          std::this_thread::sleep_for(std::chrono::milliseconds(step.ms));
        }
        return;
      }
      case Step::kClose:
        return;
      case Step::kReset: {
        const linger abort_on_close{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof abort_on_close);
        return;
      }
    }
  }
  // Hold the connection until the client closes it or the server stops.
  while (!stopping_) {
    const long n = connection.Read(buffer, sizeof buffer, 20);
    if (n == 0) return;
    if (n > 0) {
      // A further request that the script did not expect is recorded all the same.
      pending.append(buffer, n);
    }
  }
}

QString WriteTemporaryFile(const QByteArray& bytes) {
  // The files live as long as the test program, and are removed when it ends.
  static std::vector<std::unique_ptr<QTemporaryFile>> files;
  files.push_back(std::make_unique<QTemporaryFile>());
  QTemporaryFile* file = files.back().get();
  file->open();
  file->write(bytes);
  file->flush();
  return file->fileName();
}

}  // namespace orvelle::testing
