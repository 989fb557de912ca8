#pragma once

#include "service/http/url.h"

#include <QString>
#include <QStringList>

#include <QHash>

#include <functional>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>
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
//
// A hostile site may send thousands of cookies, so storing one costs no pass over the jar:
// cookies are found by identity through a hash, by domain through per-domain lists (each
// bounded by kMaxCookiesPerDomain), and the next to expire or the least recently used through
// ordered indexes. Building a Cookie line looks only at the domains the request host lies in.
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

  // Every stored cookie, in no particular order once cookies have been removed.
  const std::vector<Cookie>& Cookies() const { return cookies_; }

 private:
  // A cookie's name, domain and path, which identify it without regard to case (shared
  // copies of the cookie's own strings).
  struct Identity {
    QString name;
    QString domain;
    QString path;
    bool operator==(const Identity& other) const;
    size_t Hash(size_t seed) const noexcept;
    friend size_t qHash(const Identity& identity, size_t seed) noexcept { return identity.Hash(seed); }
  };
  static Identity IdentityOf(const Cookie& c) { return {c.name, c.domain, c.path}; }

  // Orders cookies by last use, the least recently used first: (last_access, creation_order).
  using UseKey = std::pair<qint64, quint64>;
  // Orders cookies by expiry, the first to expire first: (expiry, creation_order).
  using ExpiryKey = std::pair<qint64, quint64>;

  qint64 Now() const;
  void Insert(Cookie cookie);
  void RemoveAt(size_t slot);
  void RemoveExpired(qint64 now);
  void MarkUsed(size_t slot, qint64 now);
  // Evicts from the cookies of `domain` while it holds more than kMaxCookiesPerDomain: an
  // expired one first, else the least recently used; never the cookie `kept_order`.
  void EvictBeyondDomainLimit(const QString& domain, quint64 kept_order, qint64 now);
  // Evicts from the whole jar while it holds more than kMaxCookies, the same way.
  void EvictBeyondTotalLimit(quint64 kept_order, qint64 now);
  size_t SlotOf(quint64 order) const { return slot_of_order_.at(order); }

  NowFunction now_;
  std::vector<Cookie> cookies_;
  quint64 next_order_ = 0;
  std::unordered_map<quint64, size_t> slot_of_order_;      // creation_order -> place in cookies_
  QHash<Identity, quint64> order_of_identity_;
  QHash<QString, std::vector<quint64>> orders_of_domain_;  // the cookies stored for each domain
  std::set<UseKey> by_use_;
  std::set<ExpiryKey> by_expiry_;                          // cookies that have an expiry
};

namespace cookies {

// Host `host` domain-matches `domain` when both are equal, or when the host ends with "."
// followed by the domain and is not an IP address. Both in lower case.
bool DomainMatches(const QString& host, const QString& domain);
// True when `domain` (lower case) is a public suffix such as "org", "fm" or "co.uk": a name
// under which anyone may register, so no cookie may be set for all of it. Decided by the
// public suffix list that libpsl reads (Debian's copy of the list, else libpsl's own).
bool IsPublicSuffix(const QString& domain);
// The default path: the request's path ("/a/b/c", or its directory "/a/b/") up to its last
// "/", without it, or "/" when nothing is left.
QString DefaultPath(const QString& directory_path);
// A cookie path matches when it equals the request's whole path (up to the query), or is a
// prefix of it that ends with "/" or is followed there by "/". Compared octet for octet, so
// case counts: "/A" does not match "/a".
bool PathMatches(const QString& request_path, const QString& cookie_path);
// A cookie date as RFC 6265 reads it; nothing when the text is not a date.
std::optional<qint64> ParseCookieDate(const QString& text);

}  // namespace cookies

}  // namespace orvelle
