#include "service/http/url.h"

#include <QUrl>

#include <algorithm>

#include <arpa/inet.h>

namespace orvelle::http {

bool Url::IsHttps() const { return protocol.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0; }

QString Url::Target() const {
  QString target = path + document;
  if (!query.isEmpty()) {
    target += QLatin1Char('?');
    target += query;
  }
  return target;
}

QString Url::WirePath() const { return QString::fromLatin1(EncodedTarget(path + document)); }

namespace {

bool IsAscii(const QString& text) {
  for (QChar c : text) {
    if (c.unicode() >= 128) return false;
  }
  return true;
}

void AppendPercentEncoded(QByteArray& out, const QByteArray& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char byte : bytes) {
    const auto b = static_cast<unsigned char>(byte);
    out.append('%');
    out.append(kHex[b >> 4]);
    out.append(kHex[b & 15]);
  }
}

// The ASCII characters that a request target carries as they are (RFC 3986: unreserved
// characters, sub-delimiters, and ":", "@", "/" and "?" of paths and queries).
bool IsTargetCharacter(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) return true;
  return QStringView(u"-._~!$&'()*+,;=:@/?").contains(QChar(c));
}

// A "%" followed by two hexadecimal digits: an escape the caller already wrote.
bool StartsEscape(QStringView text, qsizetype at) {
  return text[at] == u'%' && at + 2 < text.size() && HexDigitValue(text[at + 1].unicode()) >= 0 &&
         HexDigitValue(text[at + 2].unicode()) >= 0;
}

}  // namespace

QByteArray EncodedTarget(const QString& target) {
  QByteArray out;
  out.reserve(target.size());
  AppendEncodedTarget(out, target);
  return out;
}

void AppendEncodedTarget(QByteArray& out, QStringView target) {
  qsizetype i = 0;
  while (i < target.size()) {
    const char16_t c = target[i].unicode();
    if (IsTargetCharacter(c)) {
      out.append(static_cast<char>(c));
      ++i;
    } else if (StartsEscape(target, i)) {
      out.append(static_cast<char>(target[i].unicode()));
      out.append(static_cast<char>(target[i + 1].unicode()));
      out.append(static_cast<char>(target[i + 2].unicode()));
      i += 3;
    } else if (c < 128) {
      // Spaces, control characters, DEL, a lone "%" and the rest of ASCII that no path or
      // query may hold raw: they could end the request line or be read differently by the server.
      AppendPercentEncoded(out, QByteArray(1, static_cast<char>(c)));
      ++i;
    } else {
      // A run of characters above U+007F is converted at once, so surrogate pairs stay whole.
      qsizetype end = i;
      while (end < target.size() && target[end].unicode() >= 128) ++end;
      AppendPercentEncoded(out, target.mid(i, end - i).toUtf8());
      i = end;
    }
  }
}

QByteArray AsciiHostName(const QString& host) {
  QByteArray name;
  AppendAsciiHostName(name, host);
  return name;
}

void AppendAsciiHostName(QByteArray& out, const QString& host) {
  if (IsAscii(host)) {
    for (const QChar c : host) out.append(static_cast<char>(c.unicode()));
    return;
  }
  const QByteArray ace = QUrl::toAce(host);
  if (!ace.isEmpty()) {
    out.append(ace);
    return;
  }
  AppendPercentEncoded(out, host.toUtf8());
}

int HexDigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

int DefaultPort(const QString& protocol) {
  if (protocol.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0) return 80;
  if (protocol.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0) return 443;
  return 0;
}

bool IsIpAddress(const QString& host) {
  const QByteArray text = host.toLatin1();
  unsigned char buffer[16];
  return inet_pton(AF_INET, text.constData(), buffer) == 1 || inet_pton(AF_INET6, text.constData(), buffer) == 1;
}

Url ParseUrl(const QString& address) {
  Url url;
  // Backslashes count as slashes, but only before the query or fragment begins. Only an
  // address that holds such a backslash is copied; the rest is read through views.
  qsizetype stop = address.size();
  for (qsizetype i = 0; i < address.size(); ++i) {
    if (address.at(i) == QLatin1Char('?') || address.at(i) == QLatin1Char('#')) {
      stop = i;
      break;
    }
  }
  QString slashed;
  QStringView rest = address;
  if (QStringView(address).first(stop).contains(QLatin1Char('\\'))) {
    slashed = address;
    for (qsizetype i = 0; i < stop; ++i) {
      if (slashed.at(i) == QLatin1Char('\\')) slashed[i] = QLatin1Char('/');
    }
    rest = slashed;
  }

  // The fragment starts at the first "#"; a "?" after it belongs to the fragment.
  const qsizetype hash = rest.indexOf(QLatin1Char('#'));
  if (hash >= 0) {
    url.fragment = rest.sliced(hash + 1).toString();
    rest = rest.first(hash);
  }
  const qsizetype question = rest.indexOf(QLatin1Char('?'));
  if (question >= 0) {
    url.query = rest.sliced(question + 1).toString();
    rest = rest.first(question);
  }

  const qsizetype scheme_end = rest.indexOf(QLatin1String("://"));
  if (scheme_end >= 0) {
    url.protocol = rest.first(scheme_end).toString();
    rest = rest.sliced(scheme_end + 3);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    QStringView authority = slash >= 0 ? rest.first(slash) : rest;
    rest = slash >= 0 ? rest.sliced(slash) : QStringView();

    const qsizetype at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
      const QStringView info = authority.first(at);
      authority = authority.sliced(at + 1);
      const qsizetype colon = info.indexOf(QLatin1Char(':'));
      url.user = (colon >= 0 ? info.first(colon) : info).toString();
      url.password = colon >= 0 ? info.sliced(colon + 1).toString() : QString();
    }
    if (authority.startsWith(QLatin1Char('['))) {
      const qsizetype close = authority.indexOf(QLatin1Char(']'));
      if (close >= 0) {
        url.ipv6 = true;
        url.host = authority.sliced(1, close - 1).toString();
        const QStringView after = authority.sliced(close + 1);
        // Anything after the bracket other than ":port" is kept as the port, to fail as one.
        if (after.startsWith(QLatin1Char(':'))) url.port = after.sliced(1).toString();
        else if (!after.isEmpty()) url.port = after.toString();
      } else {
        url.host = authority.toString();
      }
    } else {
      const qsizetype colon = authority.indexOf(QLatin1Char(':'));
      url.host = (colon >= 0 ? authority.first(colon) : authority).toString();
      if (colon >= 0) url.port = authority.sliced(colon + 1).toString();
    }
  }

  const qsizetype last_slash = rest.lastIndexOf(QLatin1Char('/'));
  if (last_slash >= 0) {
    url.path = rest.first(last_slash + 1).toString();
    url.document = rest.sliced(last_slash + 1).toString();
  } else {
    url.document = rest.toString();
  }
  // An address without "://" has no host and leaves only a path, which starts at the root.
  if (!url.path.startsWith(QLatin1Char('/'))) url.path.prepend(QLatin1Char('/'));
  return url;
}

namespace {

// The five parts of a reference (RFC 3986, appendix B); a part that is absent is null,
// which differs from present but empty ("http://h/x?" has an empty query).
struct ReferenceParts {
  QString scheme;
  QString authority;
  QString path;
  QString query;
  QString fragment;
};

bool IsSchemeStart(QChar c) {
  return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool IsSchemeCharacter(QChar c) {
  return IsSchemeStart(c) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+') ||
         c == QLatin1Char('-') || c == QLatin1Char('.');
}

ReferenceParts SplitReference(QStringView text) {
  ReferenceParts parts;
  const qsizetype hash = text.indexOf(QLatin1Char('#'));
  if (hash >= 0) {
    parts.fragment = text.sliced(hash + 1).toString();
    if (parts.fragment.isNull()) parts.fragment = QLatin1String("");
    text = text.first(hash);
  }
  const qsizetype question = text.indexOf(QLatin1Char('?'));
  if (question >= 0) {
    parts.query = text.sliced(question + 1).toString();
    if (parts.query.isNull()) parts.query = QLatin1String("");
    text = text.first(question);
  }
  // A scheme is a letter, then letters, digits, "+", "-" or ".", up to a ":" before any "/".
  const qsizetype colon = text.indexOf(QLatin1Char(':'));
  if (colon > 0 && IsSchemeStart(text[0]) &&
      std::all_of(text.begin(), text.begin() + colon, IsSchemeCharacter)) {
    parts.scheme = text.first(colon).toString();
    text = text.sliced(colon + 1);
  }
  if (text.startsWith(QLatin1String("//"))) {
    text = text.sliced(2);
    qsizetype slash = text.indexOf(QLatin1Char('/'));
    if (slash < 0) slash = text.size();
    parts.authority = text.first(slash).toString();
    if (parts.authority.isNull()) parts.authority = QLatin1String("");
    text = text.sliced(slash);
  }
  parts.path = text.toString();
  return parts;
}

// RFC 3986, section 5.2.4: "." and ".." segments are applied and removed.
QString RemoveDotSegments(QStringView input) {
  QString output;
  while (!input.isEmpty()) {
    if (input.startsWith(QLatin1String("../"))) {
      input = input.sliced(3);
    } else if (input.startsWith(QLatin1String("./"))) {
      input = input.sliced(2);
    } else if (input.startsWith(QLatin1String("/./"))) {
      input = input.sliced(2);
    } else if (input == QLatin1String("/.")) {
      input = QStringView(u"/");
    } else if (input.startsWith(QLatin1String("/../")) || input == QLatin1String("/..")) {
      input = input.size() == 3 ? QStringView(u"/") : input.sliced(3);
      const qsizetype last = output.lastIndexOf(QLatin1Char('/'));
      output.truncate(last < 0 ? 0 : last);
    } else if (input == QLatin1String(".") || input == QLatin1String("..")) {
      input = {};
    } else {
      qsizetype end = input.indexOf(QLatin1Char('/'), 1);
      if (end < 0) end = input.size();
      output += input.first(end);
      input = input.sliced(end);
    }
  }
  return output;
}

// RFC 3986, section 5.2.3: a relative path put beside the base's last segment.
QString MergePaths(const ReferenceParts& base, const QString& path) {
  if (!base.authority.isNull() && base.path.isEmpty()) return QLatin1Char('/') + path;
  const qsizetype last = base.path.lastIndexOf(QLatin1Char('/'));
  return base.path.left(last + 1) + path;
}

QString Recompose(const ReferenceParts& parts) {
  QString text;
  if (!parts.scheme.isNull()) text += parts.scheme + QLatin1Char(':');
  if (!parts.authority.isNull()) text += QLatin1String("//") + parts.authority;
  text += parts.path;
  if (!parts.query.isNull()) text += QLatin1Char('?') + parts.query;
  if (!parts.fragment.isNull()) text += QLatin1Char('#') + parts.fragment;
  return text;
}

}  // namespace

QString ResolveReference(const QString& base, const QString& reference) {
  const ReferenceParts b = SplitReference(base);
  const ReferenceParts r = SplitReference(reference);
  ReferenceParts t;
  if (!r.scheme.isNull()) {
    t = r;
    t.path = RemoveDotSegments(r.path);
  } else {
    t.scheme = b.scheme;
    if (!r.authority.isNull()) {
      t.authority = r.authority;
      t.path = RemoveDotSegments(r.path);
      t.query = r.query;
    } else {
      t.authority = b.authority;
      if (r.path.isEmpty()) {
        t.path = b.path;
        t.query = r.query.isNull() ? b.query : r.query;
      } else {
        t.path = RemoveDotSegments(r.path.startsWith(QLatin1Char('/')) ? r.path : MergePaths(b, r.path));
        t.query = r.query;
      }
    }
  }
  t.fragment = r.fragment;
  return Recompose(t);
}

std::optional<QString> ResolveHttpAddress(const QString& base, const QString& reference) {
  const QString written = reference.trimmed();
  if (written.isEmpty()) return std::nullopt;
  const QString address = ResolveReference(base, written);
  // Read as the client will read it when it fetches the address.
  const Url url = ParseUrl(address);
  if (DefaultPort(url.protocol) == 0 || url.host.isEmpty()) return std::nullopt;
  return address;
}

}  // namespace orvelle::http
