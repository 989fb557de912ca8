// Stores arbitrary Set-Cookie lines (one per input line; a line starting with "@" gives the
// address of the following ones) and builds the Cookie line for every address seen.
#include "service/cookie_jar.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

using namespace orvelle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  qint64 now = 1'700'000'000'000;
  CookieJar jar([&now] { return now; });
  http::Url url = http::ParseUrl(QStringLiteral("https://kestra.fm/j/v2/playlist"));
  std::vector<http::Url> seen{url};
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    now += 1000;
    if (line.startsWith(QLatin1Char('@'))) {
      url = http::ParseUrl(line.mid(1));
      seen.push_back(url);
      continue;
    }
    jar.StoreSetCookie(line, url);
    (void)cookies::ParseCookieDate(line);
  }
  for (const http::Url& u : seen) (void)jar.CookieLine(u);
  // Checked once after all the lines: a check per address would make every run quadratic.
  for (const Cookie& c : jar.Cookies()) {
    if (c.name.isEmpty() || !c.path.startsWith(QLatin1Char('/')) || c.domain != c.domain.toLower()) std::abort();
    if (c.expiry && *c.expiry <= now) std::abort();  // expired cookies are gone once a line is built
  }
  if (jar.Cookies().size() > kMaxCookies) std::abort();
  return 0;
}
