#include "service/cookie_jar.h"

#include "service/log.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <libpsl.h>

#include <algorithm>
#include <array>
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

// The date delimiters of RFC 6265 (5.1.1) as a table of the ASCII range: the date parser looks
// at every character of an Expires value (up to 4 KiB), so one look-up each instead of a chain
// of range tests.
constexpr std::array<bool, 0x80> kDateDelimiters = [] {
  std::array<bool, 0x80> table{};
  table[0x09] = true;
  for (char16_t c = 0x20; c <= 0x2F; ++c) table[c] = true;
  for (char16_t c = 0x3B; c <= 0x40; ++c) table[c] = true;
  for (char16_t c = 0x5B; c <= 0x60; ++c) table[c] = true;
  for (char16_t c = 0x7B; c <= 0x7E; ++c) table[c] = true;
  return table;
}();

bool IsDelimiter(char16_t c) { return c < kDateDelimiters.size() && kDateDelimiters[c]; }

// Equal to the lower-case ASCII `word` without regard to ASCII case, and only ASCII case:
// attribute names and month names ("\u017Fecure" is not "secure").
bool EqualsAsciiWord(QStringView text, const char* word) {
  qsizetype i = 0;
  for (; word[i] != '\0'; ++i) {
    if (i >= text.size()) return false;
    char16_t c = text[i].unicode();
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
    if (c != static_cast<char16_t>(word[i])) return false;
  }
  return i == text.size();
}

// The month (1 to 12) that three letters name without regard to ASCII case ("Jan", "FEB"), or 0.
// Only ASCII letters are folded; the three make one number, so that a single switch finds the
// month (the date parser asks this of every word of an Expires value).
int MonthNumber(QStringView three) {
  unsigned key = 0;
  for (int i = 0; i < 3; ++i) {
    char16_t c = three[i].unicode();
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
    if (c < u'a' || c > u'z') return 0;
    key = key << 8 | c;
  }
  constexpr auto word = [](const char (&w)[4]) { return unsigned(w[0]) << 16 | unsigned(w[1]) << 8 | unsigned(w[2]); };
  switch (key) {
    case word("jan"): return 1;
    case word("feb"): return 2;
    case word("mar"): return 3;
    case word("apr"): return 4;
    case word("may"): return 5;
    case word("jun"): return 6;
    case word("jul"): return 7;
    case word("aug"): return 8;
    case word("sep"): return 9;
    case word("oct"): return 10;
    case word("nov"): return 11;
    case word("dec"): return 12;
    default: return 0;
  }
}

bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Reads min..max digits at `pos`; they must be followed by the end or a non-digit.
bool ReadDigits(QStringView token, qsizetype& pos, int min, int max, int* value) {
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
  qsizetype i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsDelimiter(text[i].unicode())) ++i;
    const qsizetype start = i;
    while (i < text.size() && !IsDelimiter(text[i].unicode())) ++i;
    if (i == start) continue;
    const QStringView token = QStringView(text).sliced(start, i - start);
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
      if (const int number = MonthNumber(token.first(3))) {
        month = number;
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
std::optional<qint64> DeltaExpiry(QStringView text, qint64 now) {
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
QStringView TrimWhitespace(QStringView text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.sliced(begin, end - begin);
}

// Logs a refused cookie by its name; values are never logged.
void Refuse(const QString& name, const char* reason) {
  qCDebug(lcCookies) << "cookie" << name << "refused:" << reason;
}

// Texts equal without regard to case, one UTF-16 unit at a time.
bool EqualFolded(const QString& a, const QString& b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    if (QChar::toCaseFolded(a[i].unicode()) != QChar::toCaseFolded(b[i].unicode())) return false;
  }
  return true;
}

// A hash that texts equal by EqualFolded share.
size_t HashFolded(const QString& text, size_t seed) {
  size_t hash = seed;
  for (const QChar c : text) hash = hash * 31 + QChar::toCaseFolded(c.unicode());
  return qHash(hash, seed);
}

bool IsExpired(const Cookie& c, qint64 now) { return c.expiry && *c.expiry <= now; }

// The order of eviction: expired cookies first, then the least recently used.
bool EvictsBefore(const Cookie& a, const Cookie& b, qint64 now) {
  if (IsExpired(a, now) != IsExpired(b, now)) return IsExpired(a, now);
  return std::tie(a.last_access, a.creation_order) < std::tie(b.last_access, b.creation_order);
}

}  // namespace

bool CookieJar::Identity::operator==(const Identity& other) const {
  return EqualFolded(name, other.name) && EqualFolded(domain, other.domain) && EqualFolded(path, other.path);
}

size_t CookieJar::Identity::Hash(size_t seed) const noexcept {
  return HashFolded(name, HashFolded(domain, HashFolded(path, seed)));
}

CookieJar::CookieJar(NowFunction now) : now_(std::move(now)) {}

qint64 CookieJar::Now() const { return now_ ? now_() : QDateTime::currentMSecsSinceEpoch(); }

void CookieJar::Store(const QStringList& header_lines, const http::Url& request_url) {
  for (const QString& line : header_lines) {
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon < 0) continue;
    if (QStringView(line).left(colon).trimmed().compare(QLatin1String("set-cookie"), Qt::CaseInsensitive) != 0) continue;
    StoreSetCookie(TrimWhitespace(QStringView(line).sliced(colon + 1)).toString(), request_url);
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
  // Views into the line: only the parts kept become strings of their own.
  const QStringView line(set_cookie);
  qsizetype pair_end = line.indexOf(QLatin1Char(';'));
  if (pair_end < 0) pair_end = line.size();
  const QStringView pair = line.first(pair_end);
  const qsizetype eq = pair.indexOf(QLatin1Char('='));
  if (eq < 0) return Refuse(QString(), "no \"=\"");
  Cookie cookie;
  cookie.name = TrimWhitespace(pair.first(eq)).toString();
  QStringView value = TrimWhitespace(pair.sliced(eq + 1));
  if (cookie.name.isEmpty()) return Refuse(QString(), "an empty name");
  if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) {
    value = value.sliced(1, value.size() - 2);
  }
  cookie.value = value.toString();

  std::optional<qint64> max_age, expires;
  std::optional<QString> domain;
  QStringView path;
  for (qsizetype at = pair_end; at < line.size();) {
    qsizetype next = line.indexOf(QLatin1Char(';'), at + 1);
    if (next < 0) next = line.size();
    const QStringView av = line.sliced(at + 1, next - at - 1);
    at = next;
    const qsizetype av_eq = av.indexOf(QLatin1Char('='));
    const QStringView name = TrimWhitespace(av_eq >= 0 ? av.first(av_eq) : av);
    const QStringView value = av_eq >= 0 ? TrimWhitespace(av.sliced(av_eq + 1)) : QStringView();
    auto is = [&name](const char* attribute) { return cookies::EqualsAsciiWord(name, attribute); };
    if (is("max-age")) {
      if (auto expiry = DeltaExpiry(value, now)) max_age = expiry;
    } else if (is("expires")) {
      if (auto expiry = DeltaExpiry(value, now)) expires = expiry;
      else if (auto date = cookies::ParseCookieDate(value.toString())) expires = date;
    } else if (is("domain")) {
      const QStringView d = value.startsWith(QLatin1Char('.')) ? value.sliced(1) : value;
      if (!d.isEmpty()) domain = d.toString().toLower();
    } else if (is("path")) {
      path = value;
    } else if (is("secure")) {
      cookie.secure = true;
    } else if (is("httponly")) {
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
  // The default path comes from the path as it went on the wire, like the matching.
  cookie.path = path.startsWith(QLatin1Char('/')) ? path.toString()
                                                   : cookies::DefaultPath(request_url.WirePath());
  cookie.creation = now;
  cookie.last_access = now;
  cookie.creation_order = next_order_++;

  const auto old = order_of_identity_.constFind(IdentityOf(cookie));
  if (old != order_of_identity_.cend()) {
    const size_t slot = SlotOf(*old);
    cookie.creation = cookies_[slot].creation;
    cookie.creation_order = cookies_[slot].creation_order;
    RemoveAt(slot);
  }
  // An already expired cookie only removes the one it replaces.
  if (cookie.expiry && *cookie.expiry <= now) return;
  const QString stored_domain = cookie.domain;
  const quint64 order = cookie.creation_order;
  Insert(std::move(cookie));
  EvictBeyondDomainLimit(stored_domain, order, now);
  EvictBeyondTotalLimit(order, now);
}

void CookieJar::Insert(Cookie cookie) {
  const quint64 order = cookie.creation_order;
  order_of_identity_.insert(IdentityOf(cookie), order);
  orders_of_domain_[cookie.domain].push_back(order);
  by_use_.insert({cookie.last_access, order});
  if (cookie.expiry) by_expiry_.insert({*cookie.expiry, order});
  slot_of_order_[order] = cookies_.size();
  cookies_.push_back(std::move(cookie));
}

void CookieJar::RemoveAt(size_t slot) {
  Cookie& c = cookies_[slot];
  const quint64 order = c.creation_order;
  order_of_identity_.remove(IdentityOf(c));
  const auto bucket = orders_of_domain_.find(c.domain);
  std::erase(*bucket, order);
  if (bucket->empty()) orders_of_domain_.erase(bucket);
  by_use_.erase({c.last_access, order});
  if (c.expiry) by_expiry_.erase({*c.expiry, order});
  slot_of_order_.erase(order);
  // The last cookie takes the freed place, so that no other moves.
  if (slot + 1 != cookies_.size()) {
    c = std::move(cookies_.back());
    slot_of_order_[c.creation_order] = slot;
  }
  cookies_.pop_back();
}

void CookieJar::RemoveExpired(qint64 now) {
  while (!by_expiry_.empty() && by_expiry_.begin()->first <= now) RemoveAt(SlotOf(by_expiry_.begin()->second));
}

void CookieJar::MarkUsed(size_t slot, qint64 now) {
  Cookie& c = cookies_[slot];
  by_use_.erase({c.last_access, c.creation_order});
  c.last_access = now;
  by_use_.insert({c.last_access, c.creation_order});
}

void CookieJar::EvictBeyondDomainLimit(const QString& domain, quint64 kept_order, qint64 now) {
  for (;;) {
    const auto bucket = orders_of_domain_.constFind(domain);
    if (bucket == orders_of_domain_.cend() || bucket->size() <= kMaxCookiesPerDomain) return;
    const Cookie* victim = nullptr;
    for (const quint64 order : *bucket) {
      const Cookie& c = cookies_[SlotOf(order)];
      if (order != kept_order && (!victim || EvictsBefore(c, *victim, now))) victim = &c;
    }
    if (!victim) return;
    qCDebug(lcCookies) << "cookie" << victim->name << "of" << victim->domain << "evicted";
    RemoveAt(SlotOf(victim->creation_order));
  }
}

void CookieJar::EvictBeyondTotalLimit(quint64 kept_order, qint64 now) {
  while (cookies_.size() > kMaxCookies) {
    quint64 victim = 0;
    if (!by_expiry_.empty() && by_expiry_.begin()->first <= now && by_expiry_.begin()->second != kept_order) {
      victim = by_expiry_.begin()->second;
    } else {
      auto it = by_use_.begin();
      if (it != by_use_.end() && it->second == kept_order) ++it;
      if (it == by_use_.end()) return;
      victim = it->second;
    }
    const Cookie& c = cookies_[SlotOf(victim)];
    qCDebug(lcCookies) << "cookie" << c.name << "of" << c.domain << "evicted";
    RemoveAt(SlotOf(victim));
  }
}

QString CookieJar::CookieLine(const http::Url& request_url) {
  const qint64 now = Now();
  RemoveExpired(now);
  if (cookies_.empty()) return QString();

  const QString host = request_url.host.toLower();
  const bool https = request_url.IsHttps();
  // The whole path of the request as it goes on the wire, its last segment included: a
  // cookie set for "/j/v2/playlist" belongs to that address, and one for "/caf%C3%A9" to
  // "/café", which is sent so.
  const QString request_path = request_url.WirePath();
  std::vector<size_t> matching;
  // A cookie for this host is stored under the host itself or under a name that follows
  // one of the host's dots: only those domains are looked at.
  for (qsizetype from = 0; from >= 0;) {
    const auto bucket = orders_of_domain_.constFind(host.mid(from));
    if (bucket != orders_of_domain_.cend()) {
      for (const quint64 order : *bucket) {
        const size_t slot = SlotOf(order);
        const Cookie& c = cookies_[slot];
        const bool domain_ok = c.host_only ? host == c.domain : cookies::DomainMatches(host, c.domain);
        if (!domain_ok) continue;
        if (!cookies::PathMatches(request_path, c.path)) continue;
        if (c.secure && !https) continue;
        matching.push_back(slot);
      }
    }
    const qsizetype dot = host.indexOf(QLatin1Char('.'), from);
    from = dot < 0 ? -1 : dot + 1;
  }
  std::sort(matching.begin(), matching.end(), [this](size_t a_slot, size_t b_slot) {
    const Cookie& a = cookies_[a_slot];
    const Cookie& b = cookies_[b_slot];
    if (a.path.size() != b.path.size()) return a.path.size() > b.path.size();
    if (a.creation != b.creation) return a.creation < b.creation;
    return a.creation_order < b.creation_order;
  });
  QString line;
  for (const size_t slot : matching) {
    const Cookie& c = cookies_[slot];
    if (!line.isEmpty()) line += QStringLiteral("; ");
    line += c.name + QLatin1Char('=') + c.value;
    MarkUsed(slot, now);
  }
  return line;
}

}  // namespace orvelle
