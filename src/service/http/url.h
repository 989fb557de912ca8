#pragma once

#include <QString>

#include <optional>

namespace orvelle::http {

// The parts of an address as the client uses them. Nothing is percent-decoded: every part
// holds the characters the caller wrote.
struct Url {
  QString protocol;  // scheme as written, before "://"
  QString user;
  QString password;
  QString host;      // without the square brackets of an IPv6 literal
  QString port;      // as written; empty when the address names none
  QString path;      // up to and including the last "/" before the query; starts with "/"
  QString document;  // after the last "/" of the path
  QString query;     // after the first "?", without it
  QString fragment;  // after "#"; never sent
  bool ipv6 = false; // the host was written in square brackets

  bool IsHttps() const;
  // The request target: path, document and "?query" when the query is not empty.
  QString Target() const;
  // Path and document as they go on the wire (EncodedTarget), which is what cookie paths
  // are matched against.
  QString WirePath() const;
};

// Splits an address into its parts. Backslashes before the first "?" or "#" count as "/".
// Never fails: a missing part is left empty.
Url ParseUrl(const QString& address);

// The port a scheme implies: 80 for "http", 443 for "https", 0 for any other scheme.
int DefaultPort(const QString& protocol);

// The request target as it goes on the wire. Letters, digits, "-._~!$&'()*+,;=:@/?" and "%"
// escapes (a "%" and two hexadecimal digits) stay as written; every other character is
// percent-encoded with upper-case digits: ASCII as its own octet (a space as "%20", a lone
// "%" as "%25"), characters above U+007F as their UTF-8 octets.
QByteArray EncodedTarget(const QString& target);
// The same, appended to `out`.
void AppendEncodedTarget(QByteArray& out, QStringView target);

// A host name in the ASCII form that name lookups, TLS and the Host header use: an
// internationalised name in its IDNA ("xn--") form. A name that has no such form is
// percent-encoded as UTF-8, which no lookup finds.
QByteArray AsciiHostName(const QString& host);
void AppendAsciiHostName(QByteArray& out, const QString& host);

// Resolves `reference` against the absolute address `base` as RFC 3986 (section 5.2) does:
// "//host/x" takes the base's scheme, "/x" its scheme and host, "x" or "../x" a place beside
// the base's path; a reference with a scheme of its own stands alone. Dot segments are removed.
QString ResolveReference(const QString& base, const QString& reference);

// The address that a link found in the answer from `base` leads to, as a browser reads it:
// surrounding white space dropped, then resolved against `base`. Nothing when the reference
// is empty (it names no link) or the result is no http or https address with a host.
std::optional<QString> ResolveHttpAddress(const QString& base, const QString& reference);

// The value of a hexadecimal digit (either case), or -1 for any other character.
int HexDigitValue(char16_t c);

// True when the text is a literal IPv4 or IPv6 address.
bool IsIpAddress(const QString& host);

}  // namespace orvelle::http
