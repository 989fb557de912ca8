#pragma once

// The one HTTP/1.1 client of the program: GET only, blocking, one connection at most,
// reused while the server keeps it alive, and an in-memory cookie jar.
//
// How callers use it:
//
//   http::HttpClient client;                         // one client for the whole run
//   QString text = client.Get(address);              // body as text, decoded with its charset
//
//   client.Request.Accept = "*/*";                   // request settings are plain fields; a
//   client.Request.AcceptLanguage = "zh-cn";         // change stays in force for every later
//   client.Request.UserAgent = "...";                // request, whoever makes it
//   client.Request.Connection = "Keep-Alive";        // (cleared again by every https request)
//   client.HTTPOptions |= http::hoKeepOrigProtocol;
//   client.ProtocolVersion = http::pv1_1;
//   QByteArray bytes;
//   client.Get(address, bytes);                      // body bytes appended to `bytes`
//
// Every failure is thrown: HttpProtocolError for a status other than 2xx (ErrorCode, and the
// body as text in ErrorMessage), SocketError for a failed socket operation (LastError), and
// HttpError for the rest. Addresses are full http or https URLs (any other scheme fails
// before a connection is made); nothing in them is decoded, the fragment
// is never sent, and of the target every character that a path or query may not hold raw is
// percent-encoded (those above U+007F as UTF-8), while "%" escapes go out as written; the
// host goes out in its ASCII (IDNA) form. Redirects are never followed. Each request is
// bounded by ConnectTimeout (name lookup and connect), ReadTimeout (every single wait for the
// peer) and RequestTimeout (lookup to last byte). A kept connection found dead before the
// first byte of the answer is replaced once, and the request sent again; a connection whose
// answer carried both Transfer-Encoding and Content-Length, or was followed by bytes nobody
// asked for, is never used again; nor is one whose answer was of HTTP/1.0 without
// "keep-alive", or named "close" among its connection options.
//
// An answer whose end or content is in doubt fails instead of handing on a wrong body: a
// Content-Length that is not plain digits ("Invalid Content-Length"), a transfer coding other
// than chunked ("Unsupported transfer coding: gzip"), and in a 2xx answer a content coding
// that Request.AcceptEncoding did not ask for ("Unsupported content coding: gzip"), and a
// header line folded onto the one before ("Invalid header").

#include "service/cookie_jar.h"
#include "service/http/byte_stream.h"
#include "service/http/http_error.h"
#include "service/http/response_reader.h"
#include "service/http/socket_stream.h"
#include "service/http/url.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace orvelle::http {

// The version written in the request line.
enum HttpProtocolVersion { pv1_0, pv1_1 };

// Option flags. Neither changes a GET; they are kept because callers set them.
enum HttpOption : unsigned { hoForceEncodeParams = 1u << 0, hoKeepOrigProtocol = 1u << 1 };
using HttpOptions = unsigned;

// Header values sent with every request while they are not empty.
struct HttpRequestSettings {
  QString Accept = QStringLiteral("text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
  QString AcceptCharSet;
  QString AcceptEncoding;
  QString AcceptLanguage;
  QString UserAgent = QStringLiteral("Mozilla/3.0 (compatible; Orvelle)");
  QString Connection;
  QString Referer;
  QString From;
  QStringList CustomHeaders;  // whole lines, "Name: value"
};

// What the last response said.
struct HttpResponseInfo {
  QString StatusLine;
  int ResponseCode = -1;
  QStringList RawHeaders;  // header lines, then chunk trailers and http-equiv values of HTML
  QString ContentType;     // the Content-Type without its charset parameter
  QString CharSet;         // the charset the body is decoded with
  qint64 ContentLength = -1;
  QString TransferEncoding;
  QString Connection;
  QString ProxyConnection;
  QString Location;
};

// Where a connection goes; handed to a connector.
struct ConnectTarget {
  QString host;
  bool ipv6 = false;
  int port = 0;
  bool tls = false;
  std::chrono::milliseconds connect_timeout{10000};  // name lookup and connect together
  WaitLimits limits;
  Resolver resolver = SystemResolve;
  AbortWatch abort_watch;  // how Abort reaches the connection while it is being made
};

class HttpClient {
 public:
  // Opens the byte stream of a new connection. The default connects a socket and, for
  // https, runs the TLS handshake; tests and fuzzing put other streams in its place.
  using Connector = std::function<std::unique_ptr<ByteStream>(const ConnectTarget&)>;

  HttpClient();
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // GET `url` and return the body as text.
  QString Get(const QString& url);
  // GET `url` and append the body bytes to `buffer`. On failure the buffer holds nothing of
  // an error response's body; a failure inside a 2xx body leaves what had arrived.
  void Get(const QString& url, QByteArray& buffer);

  HttpRequestSettings Request;
  HttpProtocolVersion ProtocolVersion = pv1_1;
  HttpOptions HTTPOptions = hoForceEncodeParams;
  bool AllowCookies = true;
  static constexpr bool HandleRedirects = false;  // 3xx answers fail as HttpProtocolError
  static constexpr int RedirectMaximum = 15;
  int MaxHeaderLines = kDefaultMaxHeaderLines;     // per header block and per trailer block; 0 or less: no limit

  std::chrono::milliseconds ConnectTimeout{10000};
  std::chrono::milliseconds ReadTimeout{30000};      // also every write
  std::chrono::milliseconds RequestTimeout{120000};  // connect to the last body byte
  std::chrono::milliseconds RedirectBodyWait{5000};  // a 3xx body counts as empty without data by then
  std::chrono::milliseconds IdleReuseLimit{60000};   // a connection idle for longer is not reused

  // The cookie jar; none until the first response has arrived.
  CookieJar* CookieManager() const { return jar_.get(); }
  // Makes the jar now, with a clock of the caller's (for tests).
  void UseCookieJar(std::unique_ptr<CookieJar> jar) { jar_ = std::move(jar); }

  const HttpResponseInfo& Response() const { return response_; }
  int ResponseCode() const { return response_.ResponseCode; }
  int RedirectCount() const { return redirect_count_; }
  bool Connected() const { return stream_ != nullptr; }
  void Disconnect();

  // Abandons the request under way; the one member that may be called from another thread.
  // Its connection is shut down, so that whatever wait the request is in ends at once and the
  // request fails. A request that has not connected yet fails as soon as it has.
  void Abort();

  void SetConnector(Connector connector) { connector_ = std::move(connector); }
  // Puts another name lookup in place of the system's (tests use a slow one).
  void SetResolver(Resolver resolver) { resolver_ = std::move(resolver); }

 private:
  // Runs one GET; the body goes to `out`, and its text to `text` when asked for.
  void Perform(const QString& address, QByteArray& out, QString* text);
  int RequestPort(const Url& url) const;
  // Keeps or closes the open connection for a request to `url`, and connects when none is
  // left. Returns true when a kept connection is used.
  bool ChooseConnection(const Url& url, int port, bool https);
  void Connect(const Url& url, int port, bool https);
  // Makes the open connection the one Abort shuts down; fails at once when Abort came first.
  void WatchForAbort();
  // Lets Abort reach a connection still being made: its name lookup, connect and handshake.
  AbortWatch ConnectionAbortWatch();
  // Whether Abort was called for the request under way (an aborted request is never retried).
  bool AbortRequested();
  void ApplyRequestRules(bool https);
  // Writes the request line and header lines into request_.
  void BuildRequest(const Url& url, int port);
  // Sends request_ and reads the answer; returns the error of a status other than 2xx.
  std::optional<HttpProtocolError> Exchange(const Url& url, QByteArray& out, QString* text);
  void DecideKeepAlive();
  void ReadResponseHead(const Url& url);
  // Reads header lines up to the empty line that ends them (or the peer's close), at most
  // MaxHeaderLines of them. Throws HttpError "Too many header lines" beyond that, and
  // "Invalid header" for a line that holds a control character other than HTAB, or that starts
  // with white space (folded onto the line before).
  void ReadHeaderBlock(QStringList& lines);
  // Takes the answer's transfer codings: whether they frame the body, and whether as chunks.
  void ReadTransferCodings(const QStringList& codings);
  // Throws HttpError "Unsupported content coding: <name>" for a coding the request did not accept.
  void RequireAskedContentCodings() const;
  void ReadBody(BodySink& sink, bool redirect);
  void ReadChunked(BodySink& sink);
  void ReadBodyDeclarations(const QByteArray& body);

  Connector connector_;
  Resolver resolver_ = SystemResolve;
  std::unique_ptr<ByteStream> stream_;
  QString stream_host_;
  int stream_port_ = 0;
  bool stream_ipv6_ = false;
  bool stream_tls_ = false;
  bool keep_alive_ = false;
  Clock::time_point idle_since_;  // when the kept connection's last answer ended
  bool body_left_unread_ = false;  // a redirect's body was not waited for: the connection is not reused
  bool framed_twice_ = false;      // the answer had Transfer-Encoding and Content-Length: not reused
  bool transfer_coded_ = false;    // the answer names a transfer coding: its lengths do not count
  bool chunked_ = false;           // ... and it is chunked alone, the one coding read
  QString unsupported_transfer_coding_;  // the first coding that cannot be read, if any
  QStringList content_codings_;
  QStringList connection_options_;  // of the Connection and Proxy-Connection lines
  bool persistent_by_default_ = false;  // the answer's version keeps connections without asking

  InputBuffer input_;
  // Kept from request to request, so that their room is made once: the request being sent,
  // and the line being read (status, header or chunk-size line).
  QByteArray request_;
  QByteArray line_;
  WaitLimits limits_;
  HttpResponseInfo response_;
  QString media_type_;
  QString boundary_;
  std::unique_ptr<CookieJar> jar_;
  int redirect_count_ = 0;

  std::mutex abort_mutex_;    // guards the two values below, shared with Abort()
  int abort_descriptor_ = -1;  // the socket of stream_, while there is one
  bool abort_requested_ = false;
};

}  // namespace orvelle::http
