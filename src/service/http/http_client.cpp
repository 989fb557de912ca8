#include "service/http/http_client.h"

#include "service/http/charsets.h"
#include "service/http/socket_stream.h"
#include "service/http/tls_stream.h"
#include "service/log.h"

#include <cerrno>
#include <charconv>

#include <sys/socket.h>

namespace orvelle::http {

namespace {

std::unique_ptr<ByteStream> DefaultConnector(const ConnectTarget& target) {
  auto socket = SocketStream::Connect(target.host, target.ipv6, target.port, target.connect_timeout,
                                      target.limits.deadline, target.resolver, target.abort_watch);
  if (!target.tls) return socket;
  return TlsStream::Handshake(std::move(socket), target.host, target.limits);
}

// Header text holds one character per byte (as HeaderLineText reads it), so that bytes a
// server sent go back unchanged; a character above U+00FF has no byte and is written as "?".
void AppendHeaderText(QByteArray& out, const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c < 256) {
      out.append(static_cast<char>(c));
    } else {
      out.append('?');
      // A surrogate pair is one character.
      if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
    }
  }
}

void AppendHeader(QByteArray& out, const char* name, const QString& value) {
  if (value.isEmpty()) return;
  out.append(name);
  out.append(": ");
  AppendHeaderText(out, value);
  out.append("\r\n");
}

// A port is written as plain decimal digits: no sign, no spaces, nothing after them.
int PortNumber(const QString& text) {
  int port = 0;
  bool ok = !text.isEmpty() && text.size() <= 5;
  for (QChar c : text) {
    ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (ok) port = port * 10 + (c.unicode() - '0');
  }
  if (!ok || port > 65535) throw HttpError(QStringLiteral("'%1' is not a valid port number").arg(text));
  return port;
}

// The failures of a connection that died while it lay idle: the peer closed it, reset it,
// or a write found it gone. A time-out is not among them: the server may be busy.
bool IsDeadConnectionError(const HttpError& error) {
  if (const auto* socket = dynamic_cast<const SocketError*>(&error)) return socket->LastError() != ETIMEDOUT;
  return error.Message() == QLatin1String(kClosedGracefully);
}

// Only http and https are spoken: an address of any other scheme (or of none) fails before
// a connection is made, instead of being fetched over HTTP from wherever it points.
void RequireHttpScheme(const Url& url) {
  if (DefaultPort(url.protocol) != 0) return;
  throw HttpError(QStringLiteral("%1: \"%2\" is not an http or https address")
                      .arg(QLatin1String(kUnknownProtocol), url.protocol));
}

// True when a content coding is among those the request's Accept-Encoding asked for.
bool IsAskedCoding(const QString& accept_encoding, const QString& coding) {
  for (const QString& member : accept_encoding.split(QLatin1Char(','))) {
    const QString asked = member.section(QLatin1Char(';'), 0, 0).trimmed();
    if (asked == QLatin1String("*") || asked.compare(coding, Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

bool HasOption(const QStringList& options, QLatin1String option) {
  return options.contains(option, Qt::CaseInsensitive);
}

bool IsXmlSubtype(const QString& subtype) {
  return subtype == QLatin1String("xml") || subtype == QLatin1String("xml-external-parsed-entity") ||
         subtype.endsWith(QLatin1String("+xml"));
}

}  // namespace

HttpClient::HttpClient() : connector_(DefaultConnector) {}

// The connection is closed while the members that Abort shares with it still exist.
HttpClient::~HttpClient() { Disconnect(); }

void HttpClient::Disconnect() {
  {
    std::lock_guard lock(abort_mutex_);
    abort_descriptor_ = -1;  // forgotten before the socket is closed and its number reused
  }
  stream_.reset();
  keep_alive_ = false;
}

QString HttpClient::Get(const QString& url) {
  QByteArray body;
  QString text;
  Perform(url, body, &text);
  return text;
}

void HttpClient::Get(const QString& url, QByteArray& buffer) { Perform(url, buffer, nullptr); }

void HttpClient::Perform(const QString& address, QByteArray& out, QString* text) {
  // A control character would let an address add header lines or a second request.
  for (QChar c : address) {
    if (c.unicode() < 0x20) throw HttpError(QString::fromLatin1(kInvalidUrlCharacter));
  }

  const Url url = ParseUrl(address);
  RequireHttpScheme(url);
  const bool https = url.IsHttps();
  const int port = RequestPort(url);

  {
    std::lock_guard lock(abort_mutex_);
    abort_requested_ = false;
  }

  const auto start = Clock::now();
  limits_.io = ReadTimeout;
  limits_.deadline = RequestTimeout.count() > 0 ? start + RequestTimeout : Clock::time_point::max();

  bool reused = ChooseConnection(url, port, https);
  keep_alive_ = false;
  body_left_unread_ = false;
  framed_twice_ = false;

  ApplyRequestRules(https);
  BuildRequest(url, port);

  std::optional<HttpProtocolError> failure;
  for (;;) {
    try {
      failure = Exchange(url, out, text);
      break;
    } catch (const HttpError& error) {
      // A kept connection that the server closed while it lay idle fails before the first
      // byte of the answer; nothing of the request was processed, so it goes out once more.
      const bool retry = reused && !AbortRequested() && !input_.ReceivedAny() && IsDeadConnectionError(error);
      Disconnect();
      if (!retry) throw;
      qCDebug(lcHttp) << "kept connection to" << url.host << "was dead (" << error.Message()
                      << "); sending the request again on a new connection";
      Connect(url, port, https);
      reused = false;
    } catch (...) {
      Disconnect();
      throw;
    }
  }

  DecideKeepAlive();
  if (failure) throw *failure;
}

int HttpClient::RequestPort(const Url& url) const {
  if (!url.port.isEmpty()) return PortNumber(url.port);
  return DefaultPort(url.protocol);
}

bool HttpClient::ChooseConnection(const Url& url, int port, bool https) {
  // Reuse the connection only for the same host, port, IP version and transport, after a
  // response that allowed keep-alive, while it has not been idle too long, and while the
  // peer still has it open.
  if (stream_ && (stream_host_.compare(url.host, Qt::CaseInsensitive) != 0 || stream_port_ != port ||
                  stream_ipv6_ != url.ipv6 || stream_tls_ != https)) {
    Disconnect();
  }
  if (stream_ && !keep_alive_) Disconnect();
  if (stream_ && Clock::now() - idle_since_ > IdleReuseLimit) {
    qCDebug(lcHttp) << "connection to" << stream_host_ << "idle too long; opening a new one";
    Disconnect();
  }
  if (stream_ && !stream_->IsIdleAndOpen()) {
    qCDebug(lcHttp) << "kept connection to" << stream_host_ << "was closed or sent unasked bytes; opening a new one";
    Disconnect();
  }
  if (stream_) {
    WatchForAbort();
    return true;
  }
  Connect(url, port, https);
  return false;
}

AbortWatch HttpClient::ConnectionAbortWatch() {
  AbortWatch watch;
  watch.opened = [this](int fd) {
    std::lock_guard lock(abort_mutex_);
    abort_descriptor_ = fd;
    if (abort_requested_) ::shutdown(fd, SHUT_RDWR);
  };
  watch.closing = [this] {
    std::lock_guard lock(abort_mutex_);
    abort_descriptor_ = -1;
  };
  watch.aborted = [this] { return AbortRequested(); };
  return watch;
}

void HttpClient::WatchForAbort() {
  {
    std::lock_guard lock(abort_mutex_);
    abort_descriptor_ = stream_->Descriptor();
    if (!abort_requested_) return;
  }
  Disconnect();  // outside the lock: closing the socket takes it too
  throw HttpError(QString::fromLatin1(kRequestAborted));
}

void HttpClient::Connect(const Url& url, int port, bool https) {
  ConnectTarget target;
  target.host = url.host;
  target.ipv6 = url.ipv6;
  target.port = port;
  target.tls = https;
  target.connect_timeout = ConnectTimeout;
  target.limits = limits_;
  target.resolver = resolver_;
  target.abort_watch = ConnectionAbortWatch();
  stream_ = connector_(target);
  stream_host_ = url.host;
  stream_port_ = port;
  stream_ipv6_ = url.ipv6;
  stream_tls_ = https;
  WatchForAbort();
}

void HttpClient::ApplyRequestRules(bool https) {
  // No Connection header goes over TLS; HTTP/1.0 asks for keep-alive explicitly.
  if (https) {
    Request.Connection.clear();
  } else if (ProtocolVersion == pv1_0 && Request.Connection.isEmpty()) {
    Request.Connection = QStringLiteral("keep-alive");
  }
  if (!Request.AcceptEncoding.isEmpty() && !Request.AcceptEncoding.contains(QLatin1String("identity"))) {
    Request.AcceptEncoding += QStringLiteral(", identity");
  }
}

void HttpClient::BuildRequest(const Url& url, int port) {
  QByteArray& request = request_;
  request.truncate(0);  // the room of the last request is used again
  request.reserve(512);
  request.append("GET ");
  // The target, path + document + "?query", encoded part by part: no escape and no run of
  // characters above U+007F reaches across the "/" or "?" between the parts.
  AppendEncodedTarget(request, url.path);
  AppendEncodedTarget(request, url.document);
  if (!url.query.isEmpty()) {
    request.append('?');
    AppendEncodedTarget(request, url.query);
  }
  request.append(ProtocolVersion == pv1_0 ? " HTTP/1.0\r\n" : " HTTP/1.1\r\n");
  AppendHeader(request, "Connection", Request.Connection);
  for (const QString& line : Request.CustomHeaders) {
    if (line.isEmpty()) continue;
    AppendHeaderText(request, line);
    request.append("\r\n");
  }
  // The Host value names the host as the connection does: in its ASCII form.
  const bool with_port = port != DefaultPort(url.protocol) || DefaultPort(url.protocol) == 0;
  if (url.ipv6 || with_port || !url.host.isEmpty()) {
    request.append("Host: ");
    if (url.ipv6) {
      request.append('[');
      AppendHeaderText(request, url.host);
      request.append(']');
    } else {
      AppendAsciiHostName(request, url.host);
    }
    if (with_port) {
      char digits[16];
      const auto written = std::to_chars(digits, digits + sizeof digits, port);
      request.append(':').append(digits, static_cast<qsizetype>(written.ptr - digits));
    }
    request.append("\r\n");
  }
  AppendHeader(request, "Accept", Request.Accept);
  AppendHeader(request, "Accept-Charset", Request.AcceptCharSet);
  AppendHeader(request, "Accept-Encoding", Request.AcceptEncoding);
  AppendHeader(request, "Accept-Language", Request.AcceptLanguage);
  AppendHeader(request, "From", Request.From);
  AppendHeader(request, "Referer", Request.Referer);
  AppendHeader(request, "User-Agent", Request.UserAgent);
  if (AllowCookies && jar_) AppendHeader(request, "Cookie", jar_->CookieLine(url));
  request.append("\r\n");
}

std::optional<HttpProtocolError> HttpClient::Exchange(const Url& url, QByteArray& out, QString* text) {
  input_.Attach(stream_.get(), &limits_);
  stream_->Write(request_.constData(), static_cast<size_t>(request_.size()), limits_);
  ReadResponseHead(url);

  const int code = response_.ResponseCode;
  if (code >= 200 && code <= 299) {
    const qsizetype body_start = out.size();
    if (code != 204) {
      RequireAskedContentCodings();
      BodySink sink(out);
      ReadBody(sink, false);
    }
    const QByteArray body = QByteArray::fromRawData(out.constData() + body_start, out.size() - body_start);
    ReadBodyDeclarations(body);
    if (text) *text = DecodeBody(body, response_.CharSet);
    return std::nullopt;
  }
  const bool redirect = code >= 300 && code <= 399;
  if (redirect && code != 304) ++redirect_count_;
  QByteArray scratch;
  BodySink sink(scratch);
  ReadBody(sink, redirect);
  ReadBodyDeclarations(scratch);
  return HttpProtocolError(code, response_.StatusLine, DecodeBody(scratch, response_.CharSet));
}

void HttpClient::DecideKeepAlive() {
  // Both sides must speak HTTP/1.1 for a connection to stay open unasked: after a request or an
  // answer of HTTP/1.0 it stays open only when the answer says "keep-alive". Either way a
  // "close" among the answer's connection options ends it.
  if (ProtocolVersion == pv1_1 && persistent_by_default_) {
    keep_alive_ = !HasOption(connection_options_, QLatin1String("close"));
  } else {
    keep_alive_ = HasOption(connection_options_, QLatin1String("keep-alive")) &&
                  !HasOption(connection_options_, QLatin1String("close"));
  }
  if (input_.PeerClosed() || body_left_unread_) keep_alive_ = false;
  if (keep_alive_ && input_.HasUnreadInput()) {
    qCDebug(lcHttp) << "answer from" << stream_host_ << "was followed by unasked bytes; closing its connection";
    keep_alive_ = false;
  }
  if (keep_alive_ && framed_twice_) {
    qCDebug(lcHttp) << "answer from" << stream_host_
                    << "carried both Transfer-Encoding and Content-Length; closing its connection";
    keep_alive_ = false;
  }
  if (keep_alive_) {
    idle_since_ = Clock::now();
  } else {
    Disconnect();
  }
}

bool HttpClient::AbortRequested() {
  std::lock_guard lock(abort_mutex_);
  return abort_requested_;
}

void HttpClient::Abort() {
  std::lock_guard lock(abort_mutex_);
  abort_requested_ = true;
  if (abort_descriptor_ >= 0) ::shutdown(abort_descriptor_, SHUT_RDWR);
}

void HttpClient::ReadResponseHead(const Url& url) {
  int interim = 0;
  for (;;) {
    if (!input_.ReadLine(line_)) throw HttpError(QString::fromLatin1(kClosedGracefully));
    // A new answer, in the room of the last one's header list.
    QStringList header_room = std::move(response_.RawHeaders);
    header_room.clear();
    response_ = HttpResponseInfo();
    response_.RawHeaders = std::move(header_room);
    response_.StatusLine = LineText(line_);
    response_.ResponseCode = ParseStatusCode(response_.StatusLine);

    ReadHeaderBlock(response_.RawHeaders);

    const QStringList& headers = response_.RawHeaders;
    const ContentTypeParts type = ParseContentType(HeaderValue(headers, QLatin1String("Content-Type")));
    media_type_ = type.media_type;
    boundary_ = type.boundary;
    response_.ContentType = type.content_type;
    if (type.has_charset) {
      response_.CharSet = type.charset;
    } else if (media_type_.startsWith(QLatin1String("text/"))) {
      response_.CharSet = IsXmlSubtype(media_type_.mid(5)) ? QStringLiteral("us-ascii") : QStringLiteral("ISO-8859-1");
    }
    bool has_transfer_encoding = false;
    bool has_content_length = false;
    response_.TransferEncoding = HeaderValue(headers, QLatin1String("Transfer-Encoding"), &has_transfer_encoding);
    has_content_length = HasHeader(headers, QLatin1String("Content-Length"));
    // Two framings in one answer may hide a second answer inside the first: a chunked body is
    // read by its chunks, whatever the lengths say, and the connection is not used again.
    framed_twice_ = has_transfer_encoding && has_content_length;
    ReadTransferCodings(TransferCodings(headers));
    // A transfer coding frames the body by itself, so lengths in doubt only matter without one.
    try {
      response_.ContentLength = AnnouncedContentLength(headers);
    } catch (const HttpError&) {
      if (!transfer_coded_) throw;
    }
    response_.Connection = HeaderValue(headers, QLatin1String("Connection"));
    response_.ProxyConnection = HeaderValue(headers, QLatin1String("Proxy-Connection"));
    connection_options_ = HeaderListMembers(headers, QLatin1String("Connection")) +
                          HeaderListMembers(headers, QLatin1String("Proxy-Connection"));
    persistent_by_default_ = IsPersistentByDefault(response_.StatusLine);
    content_codings_ = ContentCodings(headers);
    response_.Location = HeaderValue(headers, QLatin1String("Location"));

    // Cookies are stored for every response, before its status is looked at.
    if (AllowCookies) {
      if (!jar_) jar_ = std::make_unique<CookieJar>();
      jar_->Store(headers, url);
    }
    // A 101 hands the connection over to another protocol: there is no HTTP answer to wait
    // for. Every other 1xx is an interim answer, followed by the real one.
    const int code = response_.ResponseCode;
    if (code == 101) throw HttpProtocolError(code, response_.StatusLine, QString());
    if (code < 100 || code > 199) return;
    if (++interim > kMaxInterimResponses) throw HttpError(QString::fromLatin1(kTooManyInterim));
  }
}

void HttpClient::ReadHeaderBlock(QStringList& lines) {
  // More lines than the limit fail: read as body they would be handed on as content. A line
  // holding a control character fails too (see IsCleanHeaderLine), and so does a folded one.
  QByteArray& line = line_;
  int count = 0;
  while (input_.ReadLine(line) && !line.isEmpty()) {
    if (MaxHeaderLines > 0 && count >= MaxHeaderLines) throw HttpError(QString::fromLatin1(kTooManyHeaderLines));
    if (!IsCleanHeaderLine(line)) throw HttpError(QString::fromLatin1(kInvalidHeader));
    // A line that starts with white space continues the field before it (an obsolete line
    // folding). Read as a field of its own it would be a second header hidden in the first
    // ("X-Long: a" then " Content-Length: 5"), so the answer is refused.
    if (line.startsWith(' ') || line.startsWith('\t')) throw HttpError(QString::fromLatin1(kInvalidHeader));
    lines.append(HeaderLineText(line));
    ++count;
  }
}

void HttpClient::ReadTransferCodings(const QStringList& codings) {
  // Only chunked is decoded, and only once, as the last coding; a body in any other coding
  // cannot be read, let alone handed on as content.
  transfer_coded_ = !codings.isEmpty();
  chunked_ = codings.size() == 1 && codings.front() == QLatin1String("chunked");
  unsupported_transfer_coding_.clear();
  if (transfer_coded_ && !chunked_) {
    for (const QString& coding : codings) {
      if (coding != QLatin1String("chunked")) {
        unsupported_transfer_coding_ = coding;
        break;
      }
    }
    if (unsupported_transfer_coding_.isEmpty()) unsupported_transfer_coding_ = QStringLiteral("chunked");
  }
}

void HttpClient::RequireAskedContentCodings() const {
  // The body is handed on as it came: one in a content coding that no one asked for would be
  // taken for the content itself.
  for (const QString& coding : content_codings_) {
    if (!IsAskedCoding(Request.AcceptEncoding, coding)) {
      throw HttpError(QString::fromLatin1(kUnsupportedContentCoding) + coding);
    }
  }
}

void HttpClient::ReadBody(BodySink& sink, bool redirect) {
  if (!unsupported_transfer_coding_.isEmpty()) {
    throw HttpError(QString::fromLatin1(kUnsupportedTransferCoding) + unsupported_transfer_coding_);
  }
  const bool chunked = chunked_;
  if (!chunked && response_.ContentLength == 0) return;
  // A redirect's body is read only when it starts arriving soon.
  if (redirect) {
    auto wait = RedirectBodyWait;
    if (limits_.deadline != Clock::time_point::max()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limits_.deadline - Clock::now());
      wait = std::max(std::chrono::milliseconds(0), std::min(wait, left));
    }
    if (!input_.WaitForData(wait)) {
      // The body may still arrive later; the next answer on this connection would start with it.
      body_left_unread_ = true;
      return;
    }
  }

  if (chunked) {
    ReadChunked(sink);
  } else if (response_.ContentLength > 0) {
    sink.AnnounceTotal(response_.ContentLength);
    // A peer that closes before the announced length has cut the body: a failure, so that
    // half a picture or playlist is never handed on as complete.
    input_.ReadExactly(response_.ContentLength, sink);
  } else if (media_type_.startsWith(QLatin1String("multipart/"))) {
    QByteArray delimiter = "--";
    AppendHeaderText(delimiter, boundary_);
    delimiter += "--";
    input_.ReadUntilDelimiterLine(delimiter, sink);
  } else {
    input_.ReadUntilClose(sink);
  }
}

void HttpClient::ReadChunked(BodySink& sink) {
  QByteArray& line = line_;
  qint64 extension_budget = kMaxChunkExtensionBytes;
  for (;;) {
    if (!input_.ReadChunkSizeLine(line, extension_budget)) throw HttpError(QString::fromLatin1(kClosedGracefully));
    const qint64 size = ParseChunkSize(line);
    if (size == 0) break;
    sink.Announce(size);
    input_.ReadExactly(size, sink);
    // Only a line end may follow the chunk's data; anything else means the sizes are wrong.
    if (!input_.ReadLine(line)) throw HttpError(QString::fromLatin1(kClosedGracefully));
    if (!line.isEmpty()) throw HttpError(QString::fromLatin1(kInvalidChunkSize));
  }
  // Trailer lines join the header lines.
  ReadHeaderBlock(response_.RawHeaders);
}

void HttpClient::ReadBodyDeclarations(const QByteArray& body) {
  if (media_type_ == QLatin1String("text/html") || media_type_ == QLatin1String("text/html-sandboxed") ||
      media_type_ == QLatin1String("application/xhtml+xml")) {
    const QString charset = HtmlMetaCharset(body, &response_.RawHeaders);
    if (!charset.isEmpty()) response_.CharSet = charset;
    return;
  }
  const qsizetype slash = media_type_.indexOf(QLatin1Char('/'));
  const QStringView family = QStringView(media_type_).left(slash);
  const QStringView subtype = slash >= 0 ? QStringView(media_type_).sliced(slash + 1) : QStringView();
  if (media_type_ == QLatin1String("application/xml") ||
      media_type_ == QLatin1String("application/xml-external-parsed-entity") ||
      media_type_ == QLatin1String("application/xml-dtd") ||
      (slash > 0 && family != QLatin1String("text") && subtype.endsWith(QLatin1String("+xml")))) {
    response_.CharSet = XmlDeclaredEncoding(body);
  }
}

}  // namespace orvelle::http
