// Stores arbitrary Set-Cookie lines (one per input line; a line starting with "@" gives the
// address of the following ones) and builds the Cookie line for every address seen. A line
// ">N text" stores `text` with its last character repeated up to N characters (N at most 8192):
// cookies beyond the 4096-byte limit cost a few input bytes instead of thousands, so that the
// inputs stay short and the runs many.
#include "service/cookie_jar.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

namespace {

// The Set-Cookie text of an input line: the line itself, or the expansion of ">N text".
QString SetCookieText(const QString& line) {
  if (!line.startsWith(QLatin1Char('>'))) return line;
  const qsizetype space = line.indexOf(QLatin1Char(' '));
  bool ok = false;
  const int length = space < 0 ? 0 : QStringView(line).sliced(1, space - 1).toInt(&ok);
  if (!ok || length < 0 || length > 8192 || space + 1 >= line.size()) return line;
  QString text = line.sliced(space + 1);
  if (text.size() < length) text += QString(length - text.size(), text.back());
  return text;
}

}  // namespace

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
    const QString set_cookie = SetCookieText(line);
    jar.StoreSetCookie(set_cookie, url);
    (void)cookies::ParseCookieDate(set_cookie);
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
