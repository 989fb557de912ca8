// The cookie jar: its matching rules one by one, then whole scenarios of Set-Cookie lines in
// and Cookie lines out.

#include "service/cookie_jar.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <QSet>

#include <map>

#include <variant>

namespace orvelle {
namespace {

using http::ParseUrl;

TEST(CookieRules, DomainMatch) {
  const struct {
    const char* host;
    const char* domain;
    bool match;
  } cases[] = {
      {"kestra.fm", "kestra.fm", true},     {"www.kestra.fm", "kestra.fm", true}, {"a.b.kestra.fm", "kestra.fm", true},
      {"evilkestra.fm", "kestra.fm", false}, {"kestra.fm", "www.kestra.fm", false}, {"fm", "kestra.fm", false},
      {"1.2.3.4", "2.3.4", false},           {"1.2.3.4", "1.2.3.4", true},          {"kestra.fm", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cookies::DomainMatches(c.host, c.domain), c.match) << c.host << " / " << c.domain;
  }
}

TEST(CookieRules, DefaultAndMatchingPaths) {
  EXPECT_EQ(cookies::DefaultPath("/j/v2/"), "/j/v2");
  EXPECT_EQ(cookies::DefaultPath("/j/"), "/j");
  EXPECT_EQ(cookies::DefaultPath("/"), "/");
  EXPECT_EQ(cookies::DefaultPath(""), "/");

  const struct {
    const char* request;
    const char* cookie;
    bool match;
  } cases[] = {
      {"/j/v2/", "/", true},       {"/j/v2/", "/j", true},     {"/j/v2/", "/j/", true},   {"/j/v2/", "/j/v2", true},
      {"/j/v2/", "/J/V2/", false}, {"/J/v2/", "/j", false},   {"/cookie-parser-result", "/cookie-PARSER-result", false},
      {"/j/v2/", "/j/v", false},  {"/jx/", "/j", false},     {"/j", "/j/v2", false},
      {"/j/v2", "/j/v2", true},    {"/j/v2/lyric", "/j/v2/", true}, {"/j/v2/lyric", "/j/v2/l", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cookies::PathMatches(c.request, c.cookie), c.match) << c.request << " / " << c.cookie;
  }
}

TEST(CookieRules, Dates) {
  auto at = [](int y, int mo, int d, int h, int mi, int s) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC).toMSecsSinceEpoch();
  };
  const struct {
    const char* text;
    std::optional<qint64> expected;
  } cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", at(1994, 11, 6, 8, 49, 37)},
      {"Sunday, 06-Nov-94 08:49:37 GMT", at(1994, 11, 6, 8, 49, 37)},
      {"Sun Nov  6 08:49:37 1994", at(1994, 11, 6, 8, 49, 37)},
      {"Wed, 01 Jan 2031 00:00:00 GMT", at(2031, 1, 1, 0, 0, 0)},
      {"1 january 30 1:2:3", at(2030, 1, 1, 1, 2, 3)},
      {"Thu, 31 Feb 2030 00:00:00 GMT", std::nullopt},
      {"Thu, 01 Jan 1600 00:00:00 GMT", std::nullopt},
      {"Thu, 01 Jan 2030 24:00:00 GMT", std::nullopt},
      {"tomorrow", std::nullopt},
      {"", std::nullopt},
      // Delimiters of the whole ASCII range split words; U+00A0 does not, nor does "ſ" fold to "s".
      {"1|Jan~2030{0:0:0", at(2030, 1, 1, 0, 0, 0)},
      {"1\tJan\t2030\t0:0:0", at(2030, 1, 1, 0, 0, 0)},
      {"1\u00A0Jan 2030 0:0:0", std::nullopt},
      {"1 \u017Fep 2030 0:0:0", std::nullopt},
      {"1 J\u00C1n 2030 0:0:0", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(cookies::ParseCookieDate(QString::fromUtf8(c.text)), c.expected) << c.text;

  // Every month by its first three letters in any ASCII case, a longer word starting with them too.
  const char* const months[] = {"JAN", "feb", "Mar", "aPR", "mAY", "JuN", "jUl", "AUG", "sep", "OcT", "nov", "DECEMBER"};
  for (int m = 1; m <= 12; ++m) {
    const QString text = QStringLiteral("2 %1 2030 3:4:5").arg(QLatin1String(months[m - 1]));
    EXPECT_EQ(cookies::ParseCookieDate(text), at(2030, m, 2, 3, 4, 5)) << text.toStdString();
  }
}

// One step of a scenario: a response from `url` sets `set_cookie`, the clock moves on by
// `advance_seconds`, or a request to `url` must carry exactly `cookie_line`.
struct SetCookie {
  const char* url;
  const char* set_cookie;
};
struct Advance {
  int seconds;
};
struct Expect {
  const char* url;
  const char* cookie_line;
};
using Step = std::variant<SetCookie, Advance, Expect>;

struct Scenario {
  const char* name;
  std::vector<Step> steps;
};

TEST(CookieJar, Scenarios) {
  const char* service = "https://kestra.fm/j/v2/playlist?channel=-10";
  const char* lyric = "https://kestra.fm/j/v2/lyric?sid=1&ssid=2";
  const char* picture = "http://img.pics.example/view/photo/s/public/p1.jpg";
  const Scenario scenarios[] = {
      {"a service cookie comes back until Max-Age=0 removes it",
       {SetCookie{service, "bid=abc; Path=/"}, Expect{lyric, "bid=abc"}, Expect{service, "bid=abc"},
        SetCookie{service, "bid=gone; Path=/; Max-Age=0"}, Expect{service, ""}}},
      {"cookies stay with their host",
       {SetCookie{picture, "pic=1; Path=/"}, SetCookie{service, "svc=2; Path=/"}, Expect{service, "svc=2"},
        Expect{"http://img.pics.example/other", "pic=1"}, Expect{"http://pics.example/", ""}}},
      {"secure cookies go over https only",
       {SetCookie{"http://kestra.fm/", "s=1; Secure; Path=/"}, SetCookie{"http://kestra.fm/", "p=2; Path=/"},
        Expect{"http://kestra.fm/x", "p=2"}, Expect{"https://kestra.fm/x", "s=1; p=2"}}},
      {"longer path first, then earlier creation",
       {SetCookie{service, "a=1; Path=/j"}, Advance{1}, SetCookie{service, "b=2; Path=/j/v2"}, Advance{1},
        SetCookie{service, "c=3; Path=/"}, Advance{1}, SetCookie{service, "d=4; Path=/j"},
        Expect{lyric, "b=2; a=1; d=4; c=3"}}},
      {"replacement keeps the creation time",
       {SetCookie{service, "a=1; Path=/"}, Advance{1}, SetCookie{service, "b=2; Path=/"}, Advance{1},
        SetCookie{service, "A=3; Path=/"}, Expect{service, "A=3; b=2"}}},
      {"an expired cookie only deletes",
       {SetCookie{service, "x=1; Expires=Thu, 01 Jan 1970 00:00:01 GMT"}, Expect{service, ""},
        SetCookie{service, "y=1; Path=/"}, SetCookie{service, "y=2; Path=/; Max-Age=-5"}, Expect{service, ""}}},
      {"Max-Age wins over Expires in either order",
       {SetCookie{service, "a=1; Path=/; Max-Age=10; Expires=Thu, 01 Jan 1970 00:00:01 GMT"},
        SetCookie{service, "b=2; Path=/; Expires=Thu, 01 Jan 1970 00:00:01 GMT; Max-Age=10"},
        SetCookie{service, "c=3; Path=/; Expires=Thu, 01 Jan 1970 00:00:01 GMT; Max-Age=later"},
        Expect{service, "a=1; b=2"}, Advance{11}, Expect{service, ""}}},
      {"an integer Expires counts seconds",
       {SetCookie{service, "a=1; Path=/; Expires=5"}, Advance{4}, Expect{service, "a=1"}, Advance{2},
        Expect{service, ""}}},
      {"the last attribute of a name counts",
       {SetCookie{service, "a=1; Path=/nowhere; path=/; MAX-AGE=0; max-age=100"}, Expect{service, "a=1"}}},
      {"domain cookies reach subdomains, host-only ones do not",
       {SetCookie{"http://www.pics.example/", "d=1; Domain=.PICS.example; Path=/"},
        SetCookie{"http://www.pics.example/", "h=2; Path=/"}, Expect{"http://img.pics.example/", "d=1"},
        Expect{"http://www.pics.example/", "d=1; h=2"}}},
      {"unusable lines are dropped",
       {SetCookie{service, "novalue"}, SetCookie{service, "=empty; Path=/"}, SetCookie{service, "x=1; Domain=other.fm"},
        SetCookie{service, "y=1; Domain=v2.kestra.fm"}, Expect{service, ""}}},
      {"quotes around the value go",
       {SetCookie{service, "q=\"quoted value\"; Path=/"}, SetCookie{service, " sp = a b ; Path=/"},
        Expect{service, "q=quoted value; sp=a b"}}},
      {"default path is the request directory",
       {SetCookie{service, "d=1"}, SetCookie{service, "e=2; Path=relative"}, Expect{lyric, "d=1; e=2"},
        Expect{"https://kestra.fm/j/other", ""}}},
      {"a path is matched against the whole request path, case counting",
       {SetCookie{service, "p=1; Path=/j/v2/playlist"}, SetCookie{service, "d=2; Path=/j/v2/"},
        SetCookie{service, "q=3; Path=/J/V2/PLAYLIST"}, Expect{service, "p=1; d=2"}, Expect{lyric, "d=2"},
        Expect{"https://kestra.fm/j/v2/playlistx", "d=2"}, Expect{"https://kestra.fm/j/v2/playlist/more", "p=1; d=2"},
        Expect{"https://kestra.fm/J/V2/PLAYLIST", "q=3"}}},
      {"a path is matched as the request sends it, percent-encoded",
       {SetCookie{"http://h.example/caf\xc3\xa9/set", "e=1; Path=/caf%C3%A9"},
        SetCookie{"http://h.example/caf\xc3\xa9/set", "d=2"}, Expect{"http://h.example/caf\xc3\xa9/echo", "e=1; d=2"},
        Expect{"http://h.example/caf%C3%A9/echo", "e=1; d=2"}, Expect{"http://h.example/cafe/echo", ""}}},
      {"no cookie for a public suffix",
       {SetCookie{"http://www.example.org/", "a=1; Domain=.org; Path=/"}, SetCookie{service, "b=2; Domain=FM; Path=/"},
        SetCookie{"http://a.b.co.uk/", "c=3; Domain=co.uk; Path=/"},
        SetCookie{"http://www.example.org/", "d=4; Domain=example.org; Path=/"}, Expect{"http://other.org/", ""},
        Expect{"https://other.fm/", ""}, Expect{"http://x.co.uk/", ""}, Expect{"http://www.example.org/", "d=4"}}},
      {"a public suffix that is the request host gives a host-only cookie",
       {SetCookie{"http://github.io/", "e=5; Domain=github.io; Path=/"}, Expect{"http://github.io/", "e=5"},
        Expect{"http://someone.github.io/", ""}}},
      {"host and domain compare without regard to case",
       {SetCookie{"http://Kestra.FM/", "a=1; Path=/"}, Expect{"http://kestra.fm/", "a=1"}}},
      {"a line holding a control character is dropped, so nothing of it reaches a request",
       {SetCookie{service, "cr=1\rX-Injected: 1; Path=/"}, SetCookie{service, "lf=1; Path=/\nX-Injected: 1"},
        SetCookie{service, "soh=\x01; Path=/"}, SetCookie{service, "tab=a\tb; Path=/"}, Expect{service, "tab=a\tb"}}},
      {"IP address hosts take no domain cookies",
       {SetCookie{"http://10.0.0.1/", "a=1; Domain=0.0.1; Path=/"}, SetCookie{"http://10.0.0.1/", "b=2; Path=/"},
        Expect{"http://10.0.0.1/", "b=2"}}},
  };
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    qint64 now = 1'800'000'000'000;
    CookieJar jar([&now] { return now; });
    for (const Step& step : scenario.steps) {
      if (const auto* set = std::get_if<SetCookie>(&step)) {
        jar.StoreSetCookie(QString::fromLatin1(set->set_cookie), ParseUrl(QString::fromUtf8(set->url)));
      } else if (const auto* advance = std::get_if<Advance>(&step)) {
        now += advance->seconds * 1000LL;
      } else {
        const auto& expect = std::get<Expect>(step);
        EXPECT_EQ(jar.CookieLine(ParseUrl(QString::fromUtf8(expect.url))), QString::fromLatin1(expect.cookie_line))
            << "request " << expect.url;
      }
    }
  }
}

TEST(CookieJar, ACookieAbove4096BytesIsIgnored) {
  CookieJar jar;
  const auto url = ParseUrl("http://h/");
  jar.StoreSetCookie("a=old", url);
  const QString attributes = "; Path=/";
  auto line_of = [&](qsizetype size) { return "a=" + QString(size - 2 - attributes.size(), QLatin1Char('v')) + attributes; };
  jar.StoreSetCookie(line_of(4097), url);
  EXPECT_EQ(jar.CookieLine(url), "a=old");
  jar.StoreSetCookie(line_of(4096), url);
  EXPECT_EQ(jar.CookieLine(url).size(), 4096 - attributes.size());
}

// Names of the stored cookies, in the jar's order.
QStringList Names(const CookieJar& jar) {
  QStringList names;
  for (const Cookie& c : jar.Cookies()) names.append(c.name);
  return names;
}

TEST(CookieJar, PerDomainLimitEvictsExpiredThenLeastRecentlyUsed) {
  qint64 now = 1'800'000'000'000;
  CookieJar jar([&now] { return now; });
  const auto url = ParseUrl("http://h/");
  for (int i = 0; i < 50; ++i) {
    now += 1000;
    jar.StoreSetCookie(QStringLiteral("c%1=v; Path=%2").arg(i).arg(i < 10 ? "/recent" : "/other"), url);
  }
  now += 1000;
  jar.CookieLine(ParseUrl("http://h/recent/x"));  // uses c0 to c9
  jar.StoreSetCookie("short=v; Path=/; Max-Age=1", url);  // 51: c10 is the least recently used
  now += 2000;  // "short" has expired, but nothing has removed it yet
  jar.StoreSetCookie("e=v; Path=/", url);  // 51: the expired "short" goes first
  jar.StoreSetCookie("f=v; Path=/", url);  // 51: c11
  const QStringList names = Names(jar);
  EXPECT_EQ(names.size(), 50);
  for (const char* gone : {"c10", "c11", "short"}) EXPECT_FALSE(names.contains(gone)) << gone;
  for (const char* kept : {"c0", "c9", "c12", "c49", "e", "f"}) EXPECT_TRUE(names.contains(kept)) << kept;
  // Another domain has a limit of its own.
  jar.StoreSetCookie("other=v", ParseUrl("http://other/"));
  EXPECT_EQ(jar.Cookies().size(), 51u);
}

TEST(CookieJar, TotalLimitEvictsTheLeastRecentlyUsedOfAll) {
  qint64 now = 1'800'000'000'000;
  CookieJar jar([&now] { return now; });
  for (int host = 0; host < 61; ++host) {
    const auto url = ParseUrl(QStringLiteral("http://h%1.example/").arg(host));
    for (int i = 0; i < 50; ++i) {
      now += 1;
      jar.StoreSetCookie(QStringLiteral("c%1=v").arg(i), url);
    }
  }
  EXPECT_EQ(jar.Cookies().size(), 3000u);
  EXPECT_EQ(jar.CookieLine(ParseUrl("http://h0.example/")), "");
  EXPECT_EQ(jar.CookieLine(ParseUrl("http://h60.example/")).count(QLatin1Char('=')), 50);
}

TEST(CookieJar, StaysConsistentThroughReplacementsExpiriesAndEvictions) {
  // Many cookies over a few domains, replaced, expiring and evicted in turn: what each
  // domain's Cookie line holds is always what the jar lists for it, within the limits.
  qint64 now = 1'800'000'000'000;
  CookieJar jar([&now] { return now; });
  const QStringList hosts = {"a.example", "www.a.example", "b.example", "c.example"};
  for (int i = 0; i < 4000; ++i) {
    now += 1000;
    const QString host = hosts[i % hosts.size()];
    const int name = (i * 7919) % 97;
    QString line = QStringLiteral("N%1=%2; Path=/").arg(name).arg(i);
    if (i % 5 == 0) line += QStringLiteral("; Max-Age=%1").arg(i % 3 == 0 ? 0 : 30);
    if (i % 11 == 0) line = line.toLower();  // the same cookie, named in other case
    if (i % 4 == 1) line += QStringLiteral("; Domain=a.example");
    jar.StoreSetCookie(line, ParseUrl(QStringLiteral("http://%1/").arg(host)));
    if (i % 50 == 0) jar.CookieLine(ParseUrl(QStringLiteral("http://%1/").arg(host)));
  }
  for (const QString& host : hosts) {
    SCOPED_TRACE(host.toStdString());
    const QStringList sent = jar.CookieLine(ParseUrl(QStringLiteral("http://%1/").arg(host))).split(
        QStringLiteral("; "), Qt::SkipEmptyParts);
    QStringList listed;
    std::map<QString, int> per_domain;
    for (const Cookie& c : jar.Cookies()) {
      ++per_domain[c.domain];
      const bool matches = c.host_only ? c.domain == host : cookies::DomainMatches(host, c.domain);
      if (matches) listed.append(c.name + QLatin1Char('=') + c.value);
    }
    EXPECT_EQ(QSet<QString>(sent.begin(), sent.end()), QSet<QString>(listed.begin(), listed.end()));
    EXPECT_EQ(sent.size(), listed.size());
    for (const auto& [domain, count] : per_domain) EXPECT_LE(count, 50) << domain.toStdString();
  }
}

TEST(CookieJar, StoresEverySetCookieLineAndTracksAccess) {
  qint64 now = 1'000'000;
  CookieJar jar([&now] { return now; });
  const auto url = ParseUrl("http://h/");
  jar.Store({"Content-Type: text/plain", "Set-Cookie: a=1", "set-cookie:b=2; HttpOnly", "X-Set-Cookie: c=3"}, url);
  ASSERT_EQ(jar.Cookies().size(), 2u);
  EXPECT_TRUE(jar.Cookies()[1].http_only);
  EXPECT_TRUE(jar.Cookies()[0].host_only);
  EXPECT_EQ(jar.Cookies()[0].domain, "h");
  EXPECT_FALSE(jar.Cookies()[0].expiry.has_value());
  now += 5000;
  EXPECT_EQ(jar.CookieLine(url), "a=1; b=2");
  EXPECT_EQ(jar.Cookies()[0].last_access, now);
  EXPECT_EQ(jar.Cookies()[0].creation, 1'000'000);
}

}  // namespace
}  // namespace orvelle
