#include "service/cookie_jar.h"

#include "service/log.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <libpsl.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <tuple>

namespace orvelle {

namespace cookies {

bool DomainMatches(const QString& host, const QString& domain) {
  if (host == domain) return true;
  if (domain.isEmpty() || host.size() <= domain.size() + 1) return false;
  return host.endsWith(domain) && host[host.size() - domain.size() - 1] == QLatin1Char('.') && !http::IsIpAddress(host);
}

namespace {

// The public suffix list, loaded once: the newest of Debian's file and libpsl's own copy.
class PublicSuffixList {
 public:
  PublicSuffixList() : latest_(psl_latest(nullptr)) {
    if (!latest_) qCWarning(lcCookies) << "public suffix list not found; only top-level domains count as public";
  }
  ~PublicSuffixList() { psl_free(latest_); }
  PublicSuffixList(const PublicSuffixList&) = delete;
  PublicSuffixList& operator=(const PublicSuffixList&) = delete;

  const psl_ctx_t* Context() const { return latest_ ? latest_ : psl_builtin(); }

 private:
  psl_ctx_t* latest_;
};

}  // namespace

bool IsPublicSuffix(const QString& domain) {
  static const PublicSuffixList list;
  const psl_ctx_t* context = list.Context();
  if (!context) return !domain.contains(QLatin1Char('.'));
  return psl_is_public_suffix2(context, domain.toUtf8().constData(), PSL_TYPE_ANY) != 0;
}

QString DefaultPath(const QString& directory_path) {
  QString path = directory_path;
  if (!path.startsWith(QLatin1Char('/'))) return QStringLiteral("/");
  const qsizetype last = path.lastIndexOf(QLatin1Char('/'));
  path.truncate(last);
  return path.isEmpty() ? QStringLiteral("/") : path;
}

bool PathMatches(const QString& request_path, const QString& cookie_path) {
  if (request_path == cookie_path) return true;
  if (!request_path.startsWith(cookie_path)) return false;
  return cookie_path.endsWith(QLatin1Char('/')) || request_path[cookie_path.size()] == QLatin1Char('/');
}

namespace {

bool IsDelimiter(char16_t c) {
  return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
         (c >= 0x7B && c <= 0x7E);
}

bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Reads min..max digits at `pos`; they must be followed by the end or a non-digit.
bool ReadDigits(const QString& token, qsizetype& pos, int min, int max, int* value) {
  int count = 0;
  int result = 0;
  while (pos < token.size() && IsDigit(token[pos]) && count < max) {
    result = result * 10 + (token[pos].unicode() - '0');
    ++pos;
    ++count;
  }
  if (count < min) return false;
  if (pos < token.size() && IsDigit(token[pos])) return false;
  *value = result;
  return true;
}

}  // namespace

std::optional<qint64> ParseCookieDate(const QString& text) {
  bool found_time = false, found_day = false, found_month = false, found_year = false;
  int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;
  static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
  qsizetype i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsDelimiter(text[i].unicode())) ++i;
    const qsizetype start = i;
    while (i < text.size() && !IsDelimiter(text[i].unicode())) ++i;
    if (i == start) continue;
    const QString token = text.mid(start, i - start);
    qsizetype pos = 0;
    int h, m, s;
    if (!found_time && ReadDigits(token, pos, 1, 2, &h) && pos < token.size() && token[pos] == QLatin1Char(':') &&
        ReadDigits(token, ++pos, 1, 2, &m) && pos < token.size() && token[pos] == QLatin1Char(':') &&
        ReadDigits(token, ++pos, 1, 2, &s)) {
      found_time = true;
      hour = h, minute = m, second = s;
      continue;
    }
    pos = 0;
    int value;
    if (!found_day && ReadDigits(token, pos, 1, 2, &value)) {
      found_day = true;
      day = value;
      continue;
    }
    if (!found_month && token.size() >= 3) {
      const QString prefix = token.left(3).toLower();
      bool matched = false;
      for (int k = 0; k < 12; ++k) {
        if (prefix == QLatin1String(kMonths[k])) {
          month = k + 1;
          matched = true;
          break;
        }
      }
      if (matched) {
        found_month = true;
        continue;
      }
    }
    pos = 0;
    if (!found_year && ReadDigits(token, pos, 2, 4, &value)) {
      found_year = true;
      year = value;
      continue;
    }
  }
  if (found_year && year >= 70 && year <= 99) year += 1900;
  if (found_year && year >= 0 && year <= 69) year += 2000;
  if (!found_time || !found_day || !found_month || !found_year) return std::nullopt;
  if (day < 1 || day > 31 || year < 1601 || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  const QDate date(year, month, day);
  if (!date.isValid()) return std::nullopt;
  return QDateTime(date, QTime(hour, minute, second), Qt::UTC).toMSecsSinceEpoch();
}

}  // namespace cookies

namespace {

// A Max-Age value (or an Expires value written as an integer): optional "-", then digits.
// Returns the expiry it gives, or nothing when the text is not such a number.
std::optional<qint64> DeltaExpiry(const QString& text, qint64 now) {
  if (text.isEmpty()) return std::nullopt;
  qsizetype i = 0;
  const bool negative = text[0] == QLatin1Char('-');
  if (negative) ++i;
  if (i >= text.size()) return std::nullopt;
  qint64 seconds = 0;
  constexpr qint64 kCap = std::numeric_limits<qint64>::max() / 2000;
  for (; i < text.size(); ++i) {
    if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9')) return std::nullopt;
    seconds = std::min(kCap, seconds * 10 + (text[i].unicode() - '0'));
  }
  if (negative || seconds == 0) return std::numeric_limits<qint64>::min();
  return now + seconds * 1000;
}

// Removes the spaces and tabs around a header text. QString::trimmed would also take
// U+0085 and U+00A0, which here are bytes of a value.
QString TrimWhitespace(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.mid(begin, end - begin);
}

// Logs a refused cookie by its name; values are never logged.
void Refuse(const QString& name, const char* reason) {
  qCDebug(lcCookies) << "cookie" << name << "refused:" << reason;
}

bool SameCookie(const Cookie& a, const Cookie& b) {
  return a.name.compare(b.name, Qt::CaseInsensitive) == 0 && a.domain.compare(b.domain, Qt::CaseInsensitive) == 0 &&
         a.path.compare(b.path, Qt::CaseInsensitive) == 0;
}

}  // namespace

CookieJar::CookieJar(NowFunction now) : now_(std::move(now)) {}

qint64 CookieJar::Now() const { return now_ ? now_() : QDateTime::currentMSecsSinceEpoch(); }

void CookieJar::Store(const QStringList& header_lines, const http::Url& request_url) {
  for (const QString& line : header_lines) {
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon < 0) continue;
    if (QStringView(line).left(colon).trimmed().compare(QLatin1String("set-cookie"), Qt::CaseInsensitive) != 0) continue;
    StoreSetCookie(TrimWhitespace(line.mid(colon + 1)), request_url);
  }
}

void CookieJar::StoreSetCookie(const QString& set_cookie, const http::Url& request_url) {
  // A control character other than a tab (a lone CR survives the line reading) would go back
  // out inside the Cookie line and add header lines to a later request: drop the whole line.
  for (QChar c : set_cookie) {
    if (c.unicode() < 0x20 && c != QLatin1Char('\t')) return Refuse(QString(), "a control character");
  }
  // The text holds one character per byte of the header, so its size is the cookie's size.
  if (set_cookie.size() > kMaxCookieBytes) return Refuse(QString(), "larger than 4096 bytes");
  const qint64 now = Now();
  const QStringList parts = set_cookie.split(QLatin1Char(';'));
  const QString& pair = parts.first();
  const qsizetype eq = pair.indexOf(QLatin1Char('='));
  if (eq < 0) return Refuse(QString(), "no \"=\"");
  Cookie cookie;
  cookie.name = TrimWhitespace(pair.left(eq));
  cookie.value = TrimWhitespace(pair.mid(eq + 1));
  if (cookie.name.isEmpty()) return Refuse(QString(), "an empty name");
  if (cookie.value.size() >= 2 && cookie.value.startsWith(QLatin1Char('"')) && cookie.value.endsWith(QLatin1Char('"'))) {
    cookie.value = cookie.value.mid(1, cookie.value.size() - 2);
  }

  std::optional<qint64> max_age, expires;
  std::optional<QString> domain;
  QString path;
  for (qsizetype i = 1; i < parts.size(); ++i) {
    const QString& av = parts[i];
    const qsizetype av_eq = av.indexOf(QLatin1Char('='));
    const QString name = TrimWhitespace(av_eq >= 0 ? av.left(av_eq) : av).toLower();
    const QString value = av_eq >= 0 ? TrimWhitespace(av.mid(av_eq + 1)) : QString();
    if (name == QLatin1String("max-age")) {
      if (auto expiry = DeltaExpiry(value, now)) max_age = expiry;
    } else if (name == QLatin1String("expires")) {
      if (auto expiry = DeltaExpiry(value, now)) expires = expiry;
      else if (auto date = cookies::ParseCookieDate(value)) expires = date;
    } else if (name == QLatin1String("domain")) {
      QString d = value;
      if (d.startsWith(QLatin1Char('.'))) d = d.mid(1);
      if (!d.isEmpty()) domain = d.toLower();
    } else if (name == QLatin1String("path")) {
      path = value;
    } else if (name == QLatin1String("secure")) {
      cookie.secure = true;
    } else if (name == QLatin1String("httponly")) {
      cookie.http_only = true;
    }
  }
  cookie.expiry = max_age ? max_age : expires;

  const QString host = request_url.host.toLower();
  // A Domain that is a public suffix would send the cookie to every site under it; it is
  // accepted only when it names the request host itself, and then as a host-only cookie.
  if (domain && cookies::IsPublicSuffix(*domain)) {
    if (*domain != host) return Refuse(cookie.name, "its domain is a public suffix");
    domain.reset();
  }
  if (domain) {
    if (!cookies::DomainMatches(host, *domain)) return Refuse(cookie.name, "its domain does not match the host");
    cookie.domain = *domain;
  } else {
    cookie.domain = host;
    cookie.host_only = true;
  }
  cookie.path = path.startsWith(QLatin1Char('/')) ? path : cookies::DefaultPath(request_url.path);
  cookie.creation = now;
  cookie.last_access = now;
  cookie.creation_order = next_order_++;

  const auto old = std::find_if(cookies_.begin(), cookies_.end(), [&](const Cookie& c) { return SameCookie(c, cookie); });
  if (old != cookies_.end()) {
    cookie.creation = old->creation;
    cookie.creation_order = old->creation_order;
    cookies_.erase(old);
  }
  // An already expired cookie only removes the one it replaces.
  if (cookie.expiry && *cookie.expiry <= now) return;
  const QString stored_domain = cookie.domain;
  const quint64 order = cookie.creation_order;
  cookies_.push_back(std::move(cookie));
  EvictBeyond(kMaxCookiesPerDomain, [&](const Cookie& c) { return c.domain == stored_domain; }, order, now);
  EvictBeyond(kMaxCookies, [](const Cookie&) { return true; }, order, now);
}

void CookieJar::EvictBeyond(size_t limit, const std::function<bool(const Cookie&)>& in_scope, quint64 kept_order,
                            qint64 now) {
  size_t count = static_cast<size_t>(std::count_if(cookies_.begin(), cookies_.end(), in_scope));
  while (count > limit) {
    // The victim: an expired cookie if there is one, else the one least recently used.
    auto victim = cookies_.end();
    for (auto it = cookies_.begin(); it != cookies_.end(); ++it) {
      if (it->creation_order == kept_order || !in_scope(*it)) continue;
      if (victim == cookies_.end()) {
        victim = it;
        continue;
      }
      const bool it_expired = it->expiry && *it->expiry <= now;
      const bool victim_expired = victim->expiry && *victim->expiry <= now;
      if (it_expired != victim_expired) {
        if (it_expired) victim = it;
        continue;
      }
      if (std::tie(it->last_access, it->creation_order) < std::tie(victim->last_access, victim->creation_order)) victim = it;
    }
    if (victim == cookies_.end()) return;
    qCDebug(lcCookies) << "cookie" << victim->name << "of" << victim->domain << "evicted";
    cookies_.erase(victim);
    --count;
  }
}

QString CookieJar::CookieLine(const http::Url& request_url) {
  const qint64 now = Now();
  std::erase_if(cookies_, [&](const Cookie& c) { return c.expiry && *c.expiry <= now; });

  const QString host = request_url.host.toLower();
  const bool https = request_url.IsHttps();
  // The whole path of the request, its last segment included: a cookie set for
  // "/j/v2/playlist" belongs to that address.
  const QString request_path = request_url.path + request_url.document;
  std::vector<Cookie*> matching;
  for (Cookie& c : cookies_) {
    const bool domain_ok = c.host_only ? host == c.domain : cookies::DomainMatches(host, c.domain);
    if (!domain_ok) continue;
    if (!cookies::PathMatches(request_path, c.path)) continue;
    if (c.secure && !https) continue;
    matching.push_back(&c);
  }
  std::stable_sort(matching.begin(), matching.end(), [](const Cookie* a, const Cookie* b) {
    if (a->path.size() != b->path.size()) return a->path.size() > b->path.size();
    if (a->creation != b->creation) return a->creation < b->creation;
    return a->creation_order < b->creation_order;
  });
  QString line;
  for (Cookie* c : matching) {
    if (!line.isEmpty()) line += QStringLiteral("; ");
    line += c->name + QLatin1Char('=') + c->value;
    c->last_access = now;
  }
  return line;
}

}  // namespace orvelle
