#include "service/http/http_client.h"

#include "service/http/charsets.h"
#include "service/http/socket_stream.h"
#include "service/http/tls_stream.h"

#include <sys/socket.h>

namespace orvelle::http {

namespace {

std::unique_ptr<ByteStream> DefaultConnector(const ConnectTarget& target) {
  auto socket = SocketStream::Connect(target.host, target.ipv6, target.port, target.connect_timeout,
                                      target.limits.deadline);
  if (!target.tls) return socket;
  return TlsStream::Handshake(std::move(socket), target.host, target.limits);
}

// Request lines are written as ASCII: every character above 127 becomes "?".
void AppendAscii(QByteArray& out, const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c < 128) {
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
  AppendAscii(out, value);
  out.append("\r\n");
}

bool IsXmlSubtype(const QString& subtype) {
  return subtype == QLatin1String("xml") || subtype == QLatin1String("xml-external-parsed-entity") ||
         subtype.endsWith(QLatin1String("+xml"));
}

}  // namespace

HttpClient::HttpClient() : connector_(DefaultConnector) {}

HttpClient::~HttpClient() = default;

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
  const bool https = url.IsHttps();
  int port = 0;
  if (!url.port.isEmpty()) {
    bool ok = false;
    port = url.port.toInt(&ok);
    if (!ok || port < 0 || port > 65535) {
      throw HttpError(QStringLiteral("'%1' is not a valid port number").arg(url.port));
    }
  } else if (DefaultPort(url.protocol) != 0) {
    port = DefaultPort(url.protocol);
  } else if (last_port_ != 0) {
    port = last_port_;
  } else {
    throw HttpError(QString::fromLatin1(kUnknownProtocol));
  }

  {
    std::lock_guard lock(abort_mutex_);
    abort_requested_ = false;
  }

  const auto start = Clock::now();
  limits_.io = ReadTimeout;
  limits_.deadline = RequestTimeout.count() > 0 ? start + RequestTimeout : Clock::time_point::max();

  // Choose the connection: reuse it only for the same host, port, IP version and transport,
  // after a response that allowed keep-alive, and while the peer still has it open.
  if (stream_ && (stream_host_.compare(url.host, Qt::CaseInsensitive) != 0 || stream_port_ != port ||
                  stream_ipv6_ != url.ipv6 || stream_tls_ != https)) {
    Disconnect();
  }
  if (stream_ && !keep_alive_) Disconnect();
  if (stream_ && !stream_->DiscardPendingAndCheckOpen()) Disconnect();
  if (!stream_) {
    ConnectTarget target;
    target.host = url.host;
    target.ipv6 = url.ipv6;
    target.port = port;
    target.tls = https;
    target.connect_timeout = ConnectTimeout;
    target.limits = limits_;
    stream_ = connector_(target);
    stream_host_ = url.host;
    stream_port_ = port;
    stream_ipv6_ = url.ipv6;
    stream_tls_ = https;
  }
  {
    std::lock_guard lock(abort_mutex_);
    abort_descriptor_ = stream_->Descriptor();
    if (abort_requested_) {
      abort_descriptor_ = -1;
      stream_.reset();
      throw HttpError(QString::fromLatin1(kRequestAborted));
    }
  }
  keep_alive_ = false;
  last_port_ = port;

  // No Connection header goes over TLS; HTTP/1.0 asks for keep-alive explicitly.
  if (https) {
    Request.Connection.clear();
  } else if (ProtocolVersion == pv1_0 && Request.Connection.isEmpty()) {
    Request.Connection = QStringLiteral("keep-alive");
  }
  if (!Request.AcceptEncoding.isEmpty() && !Request.AcceptEncoding.contains(QLatin1String("identity"))) {
    Request.AcceptEncoding += QStringLiteral(", identity");
  }

  QByteArray request;
  request.reserve(512);
  request.append("GET ");
  AppendAscii(request, url.Target());
  request.append(ProtocolVersion == pv1_0 ? " HTTP/1.0\r\n" : " HTTP/1.1\r\n");
  AppendHeader(request, "Connection", Request.Connection);
  for (const QString& line : Request.CustomHeaders) {
    if (line.isEmpty()) continue;
    AppendAscii(request, line);
    request.append("\r\n");
  }
  QString host = url.ipv6 ? QLatin1Char('[') + url.host + QLatin1Char(']') : url.host;
  if (port != DefaultPort(url.protocol) || DefaultPort(url.protocol) == 0) host += QLatin1Char(':') + QString::number(port);
  AppendHeader(request, "Host", host);
  AppendHeader(request, "Accept", Request.Accept);
  AppendHeader(request, "Accept-Charset", Request.AcceptCharSet);
  AppendHeader(request, "Accept-Encoding", Request.AcceptEncoding);
  AppendHeader(request, "Accept-Language", Request.AcceptLanguage);
  AppendHeader(request, "From", Request.From);
  AppendHeader(request, "Referer", Request.Referer);
  AppendHeader(request, "User-Agent", Request.UserAgent);
  if (AllowCookies && jar_) AppendHeader(request, "Cookie", jar_->CookieLine(url));
  request.append("\r\n");

  std::optional<HttpProtocolError> failure;
  try {
    stream_->Write(request.constData(), static_cast<size_t>(request.size()), limits_);
    input_.Attach(stream_.get(), &limits_);
    ReadResponseHead(url);

    const int code = response_.ResponseCode;
    if (code >= 200 && code <= 299) {
      const qsizetype body_start = out.size();
      if (code != 204) {
        BodySink sink(out);
        ReadBody(sink, false);
      }
      const QByteArray body = QByteArray::fromRawData(out.constData() + body_start, out.size() - body_start);
      ReadBodyDeclarations(body);
      if (text) *text = DecodeBody(body, response_.CharSet);
    } else {
      const bool redirect = code >= 300 && code <= 399;
      if (redirect && code != 304) ++redirect_count_;
      QByteArray scratch;
      BodySink sink(scratch);
      ReadBody(sink, redirect);
      ReadBodyDeclarations(scratch);
      failure.emplace(code, response_.StatusLine, DecodeBody(scratch, response_.CharSet));
    }
  } catch (...) {
    Disconnect();
    throw;
  }

  // Keep-alive is decided by the client's own protocol version.
  const QString connection = response_.Connection.trimmed();
  const QString proxy_connection = response_.ProxyConnection.trimmed();
  if (ProtocolVersion == pv1_1) {
    keep_alive_ = connection.compare(QLatin1String("close"), Qt::CaseInsensitive) != 0 &&
                  proxy_connection.compare(QLatin1String("close"), Qt::CaseInsensitive) != 0;
  } else {
    keep_alive_ = connection.compare(QLatin1String("keep-alive"), Qt::CaseInsensitive) == 0 ||
                  proxy_connection.compare(QLatin1String("keep-alive"), Qt::CaseInsensitive) == 0;
  }
  if (input_.PeerClosed()) keep_alive_ = false;
  if (!keep_alive_) Disconnect();

  if (failure) throw *failure;
}

void HttpClient::Abort() {
  std::lock_guard lock(abort_mutex_);
  abort_requested_ = true;
  if (abort_descriptor_ >= 0) ::shutdown(abort_descriptor_, SHUT_RDWR);
}

void HttpClient::ReadResponseHead(const Url& url) {
  int interim = 0;
  for (;;) {
    QByteArray line;
    if (!input_.ReadLine(line)) throw HttpError(QString::fromLatin1(kClosedGracefully));
    response_ = HttpResponseInfo();
    response_.StatusLine = LineText(line);
    response_.ResponseCode = ParseStatusCode(response_.StatusLine);

    // A line past the limit stays in the input, where the body reading finds it.
    while (MaxHeaderLines <= 0 || response_.RawHeaders.size() < MaxHeaderLines) {
      if (!input_.ReadLine(line) || line.isEmpty()) break;
      response_.RawHeaders.append(LineText(line));
    }

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
    bool found = false;
    const QString length = HeaderValue(headers, QLatin1String("Content-Length"), &found);
    if (found) {
      bool ok = false;
      const qint64 value = length.toLongLong(&ok);
      response_.ContentLength = ok && value >= 0 ? value : -1;
    }
    response_.TransferEncoding = HeaderValue(headers, QLatin1String("Transfer-Encoding"));
    response_.Connection = HeaderValue(headers, QLatin1String("Connection"));
    response_.ProxyConnection = HeaderValue(headers, QLatin1String("Proxy-Connection"));
    response_.Location = HeaderValue(headers, QLatin1String("Location"));

    // Cookies are stored for every response, before its status is looked at.
    if (AllowCookies) {
      if (!jar_) jar_ = std::make_unique<CookieJar>();
      jar_->Store(headers, url);
    }
    if (response_.ResponseCode != 100) return;
    if (++interim > kMaxInterimResponses) throw HttpError(QString::fromLatin1(kTooManyInterim));
  }
}

void HttpClient::ReadBody(BodySink& sink, bool redirect) {
  const bool chunked = response_.TransferEncoding.contains(QLatin1String("chunked"), Qt::CaseInsensitive);
  if (!chunked && response_.ContentLength == 0) return;
  // A redirect's body is read only when it starts arriving soon.
  if (redirect) {
    auto wait = RedirectBodyWait;
    if (limits_.deadline != Clock::time_point::max()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limits_.deadline - Clock::now());
      wait = std::max(std::chrono::milliseconds(0), std::min(wait, left));
    }
    if (!input_.WaitForData(wait)) return;
  }

  if (chunked) {
    ReadChunked(sink);
  } else if (response_.ContentLength > 0) {
    sink.AnnounceTotal(response_.ContentLength);
    input_.ReadUpTo(response_.ContentLength, sink);  // an early close ends the body
  } else if (media_type_.startsWith(QLatin1String("multipart/"))) {
    QByteArray delimiter = "--";
    AppendAscii(delimiter, boundary_);
    delimiter += "--";
    input_.ReadUntilDelimiterLine(delimiter, sink);
  } else {
    input_.ReadUntilClose(sink);
  }
}

void HttpClient::ReadChunked(BodySink& sink) {
  QByteArray line;
  for (;;) {
    if (!input_.ReadLine(line)) throw HttpError(QString::fromLatin1(kClosedGracefully));
    const qsizetype semicolon = line.indexOf(';');
    if (semicolon >= 0) line.truncate(semicolon);
    const QByteArray digits = line.trimmed();
    bool ok = digits.size() <= 15;
    const qint64 size = ok ? digits.toLongLong(&ok, 16) : 0;
    if (!ok || size < 0 || digits.startsWith('+') || digits.startsWith('-')) {
      throw HttpError(QStringLiteral("Invalid chunk size"));
    }
    if (size == 0) break;
    sink.Announce(size);
    input_.ReadExactly(size, sink);
    input_.ReadLine(line);  // the line end after the chunk's data
  }
  // Trailer lines join the header lines.
  int trailers = 0;
  while (MaxHeaderLines <= 0 || trailers < MaxHeaderLines) {
    if (!input_.ReadLine(line) || line.isEmpty()) break;
    response_.RawHeaders.append(LineText(line));
    ++trailers;
  }
}

void HttpClient::ReadBodyDeclarations(const QByteArray& body) {
  if (media_type_ == QLatin1String("text/html") || media_type_ == QLatin1String("text/html-sandboxed") ||
      media_type_ == QLatin1String("application/xhtml+xml")) {
    const QString charset = HtmlMetaCharset(body, &response_.RawHeaders);
    if (!charset.isEmpty()) response_.CharSet = charset;
    return;
  }
  const qsizetype slash = media_type_.indexOf(QLatin1Char('/'));
  const QString family = media_type_.left(slash);
  const QString subtype = slash >= 0 ? media_type_.mid(slash + 1) : QString();
  if (media_type_ == QLatin1String("application/xml") ||
      media_type_ == QLatin1String("application/xml-external-parsed-entity") ||
      media_type_ == QLatin1String("application/xml-dtd") ||
      (slash > 0 && family != QLatin1String("text") && subtype.endsWith(QLatin1String("+xml")))) {
    response_.CharSet = XmlDeclaredEncoding(body);
  }
}

}  // namespace orvelle::http
