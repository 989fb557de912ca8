// What the client sends: address parsing, the request line and the header lines.

#include "memory_connector.h"
#include "service/http/http_client.h"
#include "service/http/url.h"

#include <gtest/gtest.h>

namespace orvelle::http {
namespace {

using testing::MemoryServer;
using testing::OkAnswer;

struct UrlCase {
  const char* address;
  const char* protocol;
  const char* user;
  const char* password;
  const char* host;
  const char* port;
  const char* path;
  const char* document;
  const char* query;
  const char* fragment;
  bool ipv6;
};

TEST(ParseUrl, SplitsEveryPart) {
  const UrlCase cases[] = {
      {"https://kestra.fm/j/v2/playlist?channel=-10&pt=", "https", "", "", "kestra.fm", "", "/j/v2/", "playlist",
       "channel=-10&pt=", "", false},
      {"http://u:p:w@a@host:8080/x", "http", "u", "p:w@a", "host", "8080", "/", "x", "", "", false},
      {"http://host", "http", "", "", "host", "", "/", "", "", "", false},
      {"http://host?q=1", "http", "", "", "host", "", "/", "", "q=1", "", false},
      {"http://[::1]:8443/a/b", "http", "", "", "::1", "8443", "/a/", "b", "", "", true},
      {"http://[fe80::2]/", "http", "", "", "fe80::2", "", "/", "", "", "", true},
      {"http:\\\\host\\dir\\file?a=\\b#c\\d", "http", "", "", "host", "", "/dir/", "file", "a=\\b", "c\\d", false},
      {"http://host/p#frag?notquery", "http", "", "", "host", "", "/", "p", "", "frag?notquery", false},
      {"HTTPS://Host/%3A/a%20b", "HTTPS", "", "", "Host", "", "/%3A/", "a%20b", "", "", false},
      {"http://host/a?x=1?y=2", "http", "", "", "host", "", "/", "a", "x=1?y=2", "", false},
      {"host.example/dir/page", "", "", "", "", "", "/host.example/dir/", "page", "", "", false},
      {"page", "", "", "", "", "", "/", "page", "", "", false},
  };
  for (const UrlCase& c : cases) {
    SCOPED_TRACE(c.address);
    const Url url = ParseUrl(QString::fromLatin1(c.address));
    EXPECT_EQ(url.protocol, QLatin1String(c.protocol));
    EXPECT_EQ(url.user, QLatin1String(c.user));
    EXPECT_EQ(url.password, QLatin1String(c.password));
    EXPECT_EQ(url.host, QLatin1String(c.host));
    EXPECT_EQ(url.port, QLatin1String(c.port));
    EXPECT_EQ(url.path, QLatin1String(c.path));
    EXPECT_EQ(url.document, QLatin1String(c.document));
    EXPECT_EQ(url.query, QLatin1String(c.query));
    EXPECT_EQ(url.fragment, QLatin1String(c.fragment));
    EXPECT_EQ(url.ipv6, c.ipv6);
  }
}

TEST(EncodedTarget, OnlyWhatATargetAllowsGoesOutAsWritten) {
  const struct {
    QString target;
    QByteArray wire;
  } cases[] = {
      // Unreserved characters, sub-delimiters, ":", "@", "/" and "?" stay.
      {"/AZaz09-._~/!$&'()*+,;=:@?/?", "/AZaz09-._~/!$&'()*+,;=:@?/?"},
      // Every other ASCII octet is percent-encoded, with upper-case digits.
      {"/<>\"{}|\\^`[]# ", "/%3C%3E%22%7B%7D%7C%5C%5E%60%5B%5D%23%20"},
      {QStringLiteral("/a\u007f?b=\u007f"), "/a%7F?b=%7F"},
      {QString("/\r\n\t") + QChar(0) + QChar(0x1f), "/%0D%0A%09%00%1F"},
      // Escapes stay as written; a "%" that starts none is a percent sign of its own.
      {"/%3A%3a%7C?x=%20", "/%3A%3a%7C?x=%20"},
      {"/100%?p=%G1&q=%4", "/100%25?p=%25G1&q=%254"},
      {"/%%41%", "/%25%41%25"},
      {QStringLiteral("/\u0080\u00e9\u4e2d\U0001F600"), "/%C2%80%C3%A9%E4%B8%AD%F0%9F%98%80"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target.toStdString());
    EXPECT_EQ(EncodedTarget(c.target), c.wire);
  }
}

// The request the client writes for one address, with the client as a test leaves it.
QByteArray RequestFor(HttpClient& client, const QString& address, MemoryServer& server) {
  server.answers.push_back(OkAnswer("x"));
  server.written->clear();
  client.Get(address);
  return *server.written;
}

TEST(ResolveReference, FollowsTheRulesOfReferenceResolution) {
  // The examples of RFC 3986, section 5.4, against its base.
  const char* base = "http://a/b/c/d;p?q";
  const std::pair<const char*, const char*> cases[] = {
      {"g:h", "g:h"},          {"g", "http://a/b/c/g"},      {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"}, {"/g", "http://a/g"},        {"//g", "http://g"},
      {"?y", "http://a/b/c/d;p?y"}, {"g?y", "http://a/b/c/g?y"}, {"#s", "http://a/b/c/d;p?q#s"},
      {"g#s", "http://a/b/c/g#s"}, {";x", "http://a/b/c/;x"},  {"", "http://a/b/c/d;p?q"},
      {".", "http://a/b/c/"},  {"./", "http://a/b/c/"},       {"..", "http://a/b/"},
      {"../g", "http://a/b/g"}, {"../..", "http://a/"},       {"../../g", "http://a/g"},
      {"../../../g", "http://a/g"}, {"/./g", "http://a/g"},    {"/../g", "http://a/g"},
      {"g.", "http://a/b/c/g."}, {"..g", "http://a/b/c/..g"},  {"./../g", "http://a/b/g"},
      {"g/./h", "http://a/b/c/g/h"}, {"g/../h", "http://a/b/c/h"}, {"g;x=1/../y", "http://a/b/c/y"},
      {"g?y/./x", "http://a/b/c/g?y/./x"}, {"g#s/../x", "http://a/b/c/g#s/../x"}, {"http:g", "http:g"},
  };
  for (const auto& [reference, target] : cases) {
    EXPECT_EQ(ResolveReference(base, reference), target) << reference;
  }
}

TEST(ResolveHttpAddress, PictureAddressesAgainstThePlaylistAddress) {
  const QString playlist = "https://kestra.fm/j/v2/playlist?channel=-10&sid=1234567";
  const struct {
    const char* reference;
    std::optional<QString> address;
  } cases[] = {
      {"//img.example/view/x.jpg", "https://img.example/view/x.jpg"},
      {"/view/x.jpg", "https://kestra.fm/view/x.jpg"},
      {"x.jpg", "https://kestra.fm/j/v2/x.jpg"},
      {"../../p/./x.jpg", "https://kestra.fm/p/x.jpg"},
      {"http://img.example:8080/x.jpg?s=1", "http://img.example:8080/x.jpg?s=1"},
      {"HTTPS://Img.Example/x.jpg", "HTTPS://Img.Example/x.jpg"},
      {"  //img.example/x.jpg\n", "https://img.example/x.jpg"},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"ftp://img.example/x.jpg", std::nullopt},
      {"file:///etc/passwd", std::nullopt},
      {"javascript:alert(1)", std::nullopt},
      {"data:image/png;base64,iVBORw0KGgo=", std::nullopt},
      {"http:x.jpg", std::nullopt},
      {"http:///x.jpg", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResolveHttpAddress(playlist, QString::fromLatin1(c.reference)), c.address) << c.reference;
  }
  // Against a plain http service, "//host" stays plain.
  EXPECT_EQ(ResolveHttpAddress("http://127.0.0.1:8765/j/v2/playlist?channel=1", "//127.0.0.1:9/a.png"),
            QStringLiteral("http://127.0.0.1:9/a.png"));
}

TEST(Request, TargetAndHostOnTheWire) {
  struct Case {
    QString address;
    QByteArray request_line;
    QByteArray host;
    int connect_port;
  };
  const Case cases[] = {
      {"https://kestra.fm/j/v2/playlist?channel=-10&client=s%3Amainsite%7Cy%3A3.0&pt=",
       "GET /j/v2/playlist?channel=-10&client=s%3Amainsite%7Cy%3A3.0&pt= HTTP/1.1", "kestra.fm", 443},
      {"https://kestra.fm:443/", "GET / HTTP/1.1", "kestra.fm", 443},
      {"https://kestra.fm:8443/x", "GET /x HTTP/1.1", "kestra.fm:8443", 8443},
      {"http://pics.example:80/a.jpg", "GET /a.jpg HTTP/1.1", "pics.example", 80},
      {"http://pics.example:443/a.jpg", "GET /a.jpg HTTP/1.1", "pics.example:443", 443},
      {"http://[::1]:8080/v6", "GET /v6 HTTP/1.1", "[::1]:8080", 8080},
      {QStringLiteral("http://h/a b|c?n=\u00e9\U0001F600#not-sent"), "GET /a%20b%7Cc?n=%C3%A9%F0%9F%98%80 HTTP/1.1",
       "h", 80},
      {QStringLiteral("http://h/%E4%B8%AD/\u4e2d?q=%20 +"), "GET /%E4%B8%AD/%E4%B8%AD?q=%20%20+ HTTP/1.1", "h", 80},
      {QStringLiteral("http://b\u00fccher.example:8080/"), "GET / HTTP/1.1", "xn--bcher-kva.example:8080", 8080},
      {"http://h\\dir\\x?k=a\\b", "GET /dir/x?k=a%5Cb HTTP/1.1", "h", 80},
      {QStringLiteral("http://h/a\u007fb?c=<\u007f>"), "GET /a%7Fb?c=%3C%7F%3E HTTP/1.1", "h", 80},
      // The fragment is the client's own: nothing from the first "#" on is sent, whatever it holds.
      {QStringLiteral("http://h/p?q=1#a b<\u007f>?\u00e9#"), "GET /p?q=1 HTTP/1.1", "h", 80},
      {"http://h/p?#frag", "GET /p HTTP/1.1", "h", 80},
      {"http://h?only=query", "GET /?only=query HTTP/1.1", "h", 80},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address.toStdString());
    HttpClient client;
    MemoryServer server;
    server.Attach(client);
    const QByteArray request = RequestFor(client, c.address, server);
    EXPECT_TRUE(request.startsWith(c.request_line + "\r\n")) << request.constData();
    EXPECT_TRUE(request.contains("\r\nHost: " + c.host + "\r\n")) << request.constData();
    ASSERT_EQ(server.targets.size(), 1u);
    EXPECT_EQ(server.targets[0].port, c.connect_port);
  }
}

TEST(Request, HeaderLinesFollowTheSettings) {
  const QByteArray accept_default = "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n";
  const QByteArray agent_default = "User-Agent: Mozilla/3.0 (compatible; Orvelle)\r\n";
  const QByteArray ie = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; Maxthon; .NET CLR 1.1.4322)";
  auto picture_settings = [&](HttpClient& c) {
    c.Request.Accept = "*/*";
    c.Request.AcceptLanguage = "zh-cn";
    c.Request.UserAgent = QString::fromLatin1(ie);
    c.Request.Connection = "Keep-Alive";
    c.HTTPOptions |= hoKeepOrigProtocol;
    c.ProtocolVersion = pv1_1;
  };
  struct Case {
    const char* name;
    std::function<void(HttpClient&)> setup;
    QString address;
    QByteArray expected;
  };
  const Case cases[] = {
      {"first request with the start values", [](HttpClient&) {}, "https://kestra.fm/j/v2/playlist?a=1",
       "GET /j/v2/playlist?a=1 HTTP/1.1\r\nHost: kestra.fm\r\n" + accept_default + agent_default + "\r\n"},
      {"https after picture settings drops Connection", picture_settings, "https://kestra.fm/j",
       "GET /j HTTP/1.1\r\nHost: kestra.fm\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nUser-Agent: " + ie + "\r\n\r\n"},
      {"http after picture settings sends Connection first", picture_settings, "http://pics.example/c.jpg",
       "GET /c.jpg HTTP/1.1\r\nConnection: Keep-Alive\r\nHost: pics.example\r\nAccept: */*\r\n"
       "Accept-Language: zh-cn\r\nUser-Agent: " + ie + "\r\n\r\n"},
      {"HTTP/1.0 asks for keep-alive", [](HttpClient& c) { c.ProtocolVersion = pv1_0; }, "http://h/",
       "GET / HTTP/1.0\r\nConnection: keep-alive\r\nHost: h\r\n" + accept_default + agent_default + "\r\n"},
      {"every setting in its place",
       [](HttpClient& c) {
         c.Request.AcceptCharSet = "utf-8";
         c.Request.AcceptEncoding = "gzip";
         c.Request.From = "me@example.org";
         c.Request.Referer = "http://ref/";
         c.Request.CustomHeaders = {"X-One: 1"};
         c.Request.UserAgent = QStringLiteral("Agent \u00fc\u4e2d");
       },
       "http://h/",
       "GET / HTTP/1.1\r\nX-One: 1\r\nHost: h\r\n" + accept_default +
           "Accept-Charset: utf-8\r\nAccept-Encoding: gzip, identity\r\nFrom: me@example.org\r\n"
           "Referer: http://ref/\r\nUser-Agent: Agent \xfc?\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpClient client;
    MemoryServer server;
    server.Attach(client);
    c.setup(client);
    EXPECT_EQ(RequestFor(client, c.address, server), c.expected);
    if (c.address.startsWith("https")) {
      EXPECT_TRUE(client.Request.Connection.isEmpty());
    }
  }
}

TEST(Request, AcceptEncodingGetsIdentityOnce) {
  HttpClient client;
  MemoryServer server;
  server.Attach(client);
  client.Request.AcceptEncoding = "gzip";
  RequestFor(client, "http://h/", server);
  EXPECT_TRUE(RequestFor(client, "http://h/", server).contains("\r\nAccept-Encoding: gzip, identity\r\n"));
  EXPECT_EQ(client.Request.AcceptEncoding, "gzip, identity");
}

TEST(Request, ControlCharactersInTheAddressFailBeforeConnecting) {
  const QString addresses[] = {
      "http://h/a\r\nX-Injected: 1",
      "http://h/a\nGET /second HTTP/1.1",
      QStringLiteral("http://h/a?b=\u0001"),
      "http://h/\t",
      QString("http://h/") + QChar(0),
      "http://h/p#fragment\r\nnever sent",
  };
  for (const QString& address : addresses) {
    HttpClient client;
    MemoryServer server;
    server.Attach(client);
    server.answers.push_back(OkAnswer("x"));
    try {
      client.Get(address);
      ADD_FAILURE() << "no error for " << address.toStdString();
    } catch (const HttpError& error) {
      EXPECT_EQ(error.Message(), "Invalid character in URL");
    }
    EXPECT_TRUE(server.targets.empty());
    EXPECT_TRUE(server.written->isEmpty());
  }
}

TEST(Request, PortsThatAreNotPlainNumbersFail) {
  const struct {
    const char* address;
    const char* port;
  } cases[] = {
      {"http://h:+80/", "+80"},    {"http://h:-1/", "-1"},   {"http://h: 80/", " 80"},
      {"http://h:80x/", "80x"},    {"http://h:65536/", "65536"}, {"http://[::1]x:80/", "x:80"},
      {"http://[::1]:8x/", "8x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    HttpClient client;
    MemoryServer server;
    server.Attach(client);
    server.answers.push_back(OkAnswer("x"));
    try {
      client.Get(QString::fromLatin1(c.address));
      ADD_FAILURE() << "no error";
    } catch (const HttpError& error) {
      EXPECT_EQ(error.Message(), QStringLiteral("'%1' is not a valid port number").arg(QLatin1String(c.port)));
    }
    EXPECT_TRUE(server.targets.empty());
  }
}

TEST(Request, OnlyHttpAndHttpsAddressesAreFetched) {
  HttpClient client;
  MemoryServer server;
  server.Attach(client);
  RequestFor(client, "http://h:8081/", server);  // a port an earlier address named is not taken over
  const struct {
    const char* address;
    const char* scheme;
  } cases[] = {{"ftp://h/file", "ftp"}, {"ftp://h:8081/file", "ftp"}, {"gopher://h/x", "gopher"},
               {"httpx://h/", "httpx"}, {"h/x", ""}, {"//h/x", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    try {
      client.Get(QString::fromLatin1(c.address));
      ADD_FAILURE() << "no error";
    } catch (const HttpError& error) {
      EXPECT_EQ(error.Message(),
                QStringLiteral("Unknown Protocol: \"%1\" is not an http or https address").arg(QLatin1String(c.scheme)));
    }
    EXPECT_EQ(server.targets.size(), 1u);
  }
  RequestFor(client, "HTTP://h:8082/", server);  // the scheme's case does not matter
  EXPECT_EQ(server.targets.size(), 2u);
}

TEST(Request, CookieLineIsTheLastHeaderLine) {
  HttpClient client;
  MemoryServer server;
  server.Attach(client);
  server.answers.push_back(OkAnswer("x", "Set-Cookie: bid=abc; Path=/\r\n"));
  client.Get("https://kestra.fm/j/v2/playlist");
  const QByteArray request = RequestFor(client, "https://kestra.fm/j/v2/lyric", server);
  EXPECT_TRUE(request.endsWith("User-Agent: Mozilla/3.0 (compatible; Orvelle)\r\nCookie: bid=abc\r\n\r\n"))
      << request.constData();
}

TEST(Request, HeaderBytesAboveAsciiComeBackAsTheyWere) {
  HttpClient client;
  MemoryServer server;
  server.Attach(client);
  // 0xA0 and 0x85 are spaces in Unicode, but not in a header: they are part of the value.
  server.answers.push_back(OkAnswer("x", "Set-Cookie: name=\xe4\xb8\xad\xff\x80; Path=/\r\nX-Raw: \xe9t\xe9\r\n"
                                         "Set-Cookie: \xa0n\x85=\xa0v\x85 ; Path=/\r\n"));
  client.Get("http://h/");
  EXPECT_TRUE(client.Response().RawHeaders.contains(QStringLiteral("X-Raw: \u00e9t\u00e9")));
  const QByteArray request = RequestFor(client, "http://h/", server);
  EXPECT_TRUE(request.endsWith("\r\nCookie: name=\xe4\xb8\xad\xff\x80; \xa0n\x85=\xa0v\x85\r\n\r\n"))
      << request.constData();
}

TEST(Request, ALoneCarriageReturnInASetCookieLineNeverReachesARequest) {
  HttpClient client;
  MemoryServer server;
  server.Attach(client);
  // Only the CR before the LF ends a line; a lone CR fails the whole answer, and none of its
  // cookies is kept.
  server.answers.push_back(
      OkAnswer("x", "Set-Cookie: b=2; Path=/\r\nSet-Cookie: a=1\rX-Injected: 1; Path=/\r\n"));
  EXPECT_THROW(client.Get("http://h/"), HttpError);
  const QByteArray request = RequestFor(client, "http://h/", server);
  EXPECT_EQ(request.count('\r'), request.count("\r\n")) << request.constData();
  EXPECT_FALSE(request.contains("Cookie:")) << request.constData();
}

}  // namespace
}  // namespace orvelle::http
