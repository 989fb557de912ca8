#pragma once

#include "service/http/url.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace orvelle {

// One stored cookie. Times are milliseconds since the Unix epoch.
struct Cookie {
  QString name;
  QString value;
  QString domain;  // lower case, without a leading "."
  QString path;
  bool host_only = false;
  bool secure = false;
  bool http_only = false;
  std::optional<qint64> expiry;  // none: lasts until the end of the run
  qint64 creation = 0;
  qint64 last_access = 0;
  quint64 creation_order = 0;  // orders cookies created within the same millisecond
};

// Limits of the jar, so that no server can grow it (and the Cookie line) without bound.
inline constexpr qsizetype kMaxCookieBytes = 4096;  // name, value and attributes of one Set-Cookie
inline constexpr size_t kMaxCookiesPerDomain = 50;
inline constexpr size_t kMaxCookies = 3000;

// The client's in-memory cookie store: the cookies that responses set, sent back with the
// requests they match (RFC 6265 storage and matching). Nothing is written anywhere.
class CookieJar {
 public:
  using NowFunction = std::function<qint64()>;  // milliseconds since the epoch

  explicit CookieJar(NowFunction now = {});

  // Stores the cookie of every "Set-Cookie" line among `header_lines` ("Name: value").
  void Store(const QStringList& header_lines, const http::Url& request_url);
  // Stores one Set-Cookie value; an unusable one is dropped (and logged by name). Beyond the
  // limits, expired cookies are evicted first, then the least recently used ones.
  void StoreSetCookie(const QString& set_cookie, const http::Url& request_url);
  // The value of the Cookie line for a request, empty when no cookie matches. Removes the
  // expired cookies first and marks the sent ones as accessed now.
  QString CookieLine(const http::Url& request_url);

  const std::vector<Cookie>& Cookies() const { return cookies_; }

 private:
  qint64 Now() const;
  // Evicts cookies matching `in_scope` while more than `limit` of them are stored, never the
  // cookie `kept_order` (the one just stored).
  void EvictBeyond(size_t limit, const std::function<bool(const Cookie&)>& in_scope, quint64 kept_order, qint64 now);

  NowFunction now_;
  std::vector<Cookie> cookies_;
  quint64 next_order_ = 0;
};

namespace cookies {

// Host `host` domain-matches `domain` when both are equal, or when the host ends with "."
// followed by the domain and is not an IP address. Both in lower case.
bool DomainMatches(const QString& host, const QString& domain);
// True when `domain` (lower case) is a public suffix such as "org", "fm" or "co.uk": a name
// under which anyone may register, so no cookie may be set for all of it. Decided by the
// public suffix list that libpsl reads (Debian's copy of the list, else libpsl's own).
bool IsPublicSuffix(const QString& domain);
// The default path: the request's directory path ("/a/b/" of "/a/b/c") without its last
// "/", or "/" when nothing is left.
QString DefaultPath(const QString& directory_path);
// A cookie path matches when it equals the request's whole path (up to the query), or is a
// prefix of it that ends with "/" or is followed there by "/". Compared octet for octet, so
// case counts: "/A" does not match "/a".
bool PathMatches(const QString& request_path, const QString& cookie_path);
// A cookie date as RFC 6265 reads it; nothing when the text is not a date.
std::optional<qint64> ParseCookieDate(const QString& text);

}  // namespace cookies

}  // namespace orvelle
