// How the client reads what comes back: status lines, header lines, the body framings, the
// status dispatch, limits, and the conversion of the body into text.

#include "memory_connector.h"
#include "service/http/charsets.h"
#include "service/http/http_client.h"
#include "service/http/response_reader.h"

#include <gtest/gtest.h>

namespace orvelle::http {
namespace {

using testing::MemoryServer;
using testing::OkAnswer;

struct Outcome {
  bool ok = false;
  QByteArray body;       // Get(url, buffer) result, or what the buffer holds after a failure
  QString error;         // message of the error
  int error_code = 0;    // ErrorCode of a protocol error
  QString error_text;    // ErrorMessage of a protocol error
};

Outcome Fetch(const QByteArray& answer, size_t piece = 7, HttpClient* given = nullptr) {
  HttpClient own;
  HttpClient& client = given ? *given : own;
  MemoryServer server;
  server.piece = piece;
  server.answers.push_back(answer);
  server.Attach(client);
  Outcome outcome;
  try {
    client.Get("http://h/x", outcome.body);
    outcome.ok = true;
  } catch (const HttpProtocolError& error) {
    outcome.error = error.Message();
    outcome.error_code = error.ErrorCode();
    outcome.error_text = error.ErrorMessage();
  } catch (const HttpError& error) {
    outcome.error = error.Message();
  }
  return outcome;
}

// A literal with the NUL bytes inside it.
template <size_t N>
QByteArray Raw(const char (&text)[N]) {
  return QByteArray(text, N - 1);
}

QString FetchText(const QByteArray& answer) {
  HttpClient client;
  MemoryServer server;
  server.answers.push_back(answer);
  server.Attach(client);
  return client.Get("http://h/x");
}

TEST(StatusLine, CodeIsTakenFromTheSecondWord) {
  const std::pair<const char*, int> cases[] = {
      {"HTTP/1.1 200 OK", 200},  {"HTTP/1.1 401.1 Unauthorized", 401}, {"HTTP/1.1    404   Not Found", 404},
      {"HTTP/1.0 abc", -1},      {"HTTP/1.1", -1},                     {"", -1},
      {"ICY 200 OK", 200},       {"HTTP/1.1 99999999999 X", -1},       {"HTTP/1.1 204", 204},
  };
  for (const auto& [line, code] : cases) EXPECT_EQ(ParseStatusCode(QString::fromLatin1(line)), code) << line;
}

TEST(Response, StatusDecidesBetweenBodyAndError) {
  struct Case {
    const char* name;
    QByteArray answer;
    bool ok;
    QByteArray body;
    const char* error;
    int code;
    QString error_text;
  };
  const Case cases[] = {
      {"200 with length", OkAnswer("hello"), true, "hello", "", 0, ""},
      {"204 has no body even with a length", "HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\nhello", true, "", "",
       0, ""},
      {"301 is not followed",
       "HTTP/1.1 301 Moved Permanently\r\nLocation: http://elsewhere/\r\nContent-Length: 5\r\n\r\nmoved", false, "",
       "HTTP/1.1 301 Moved Permanently", 301, "moved"},
      {"404 body decoded with its charset",
       "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 6\r\n\r\nno \xe4\xb8\xad",
       false, "", "HTTP/1.1 404 Not Found", 404, QStringLiteral("no \u4e2d")},
      {"401.1 counts as 401", "HTTP/1.1 401.1 Denied\r\nWWW-Authenticate: Basic realm=x\r\nContent-Length: 0\r\n\r\n",
       false, "", "HTTP/1.1 401.1 Denied", 401, ""},
      {"no number in the status line", "HTTP/1.1 OK\r\nContent-Length: 2\r\n\r\nno", false, "", "HTTP/1.1 OK", -1, "no"},
      {"interim answers are skipped",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\nX: y\r\n\r\n" + OkAnswer("after"), true, "after", "", 0,
       ""},
      {"every interim answer but 101 is skipped",
       "HTTP/1.1 102 Processing\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a.css>; rel=preload\r\n\r\n"
       "HTTP/1.1 199 Whatever\r\n\r\n" + OkAnswer("after"), true, "after", "", 0, ""},
      {"101 is an error at once, its body never waited for",
       "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n\r\n\x81\x05hello", false, "",
       "HTTP/1.1 101 Switching Protocols", 101, ""},
      {"status line with bytes above 127", "HTTP/1.1 500 B\xe4se\r\nContent-Length: 0\r\n\r\n", false, "",
       "HTTP/1.1 500 B\xef\xbf\xbdse", 500, ""},
      {"close before the status line", "", false, "", "Connection Closed Gracefully.", 0, ""},
      {"close inside the status line", "HTTP/1.1 200", false, "", "Connection Closed Gracefully.", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = Fetch(c.answer);
    EXPECT_EQ(outcome.ok, c.ok);
    EXPECT_EQ(outcome.body, c.body);
    EXPECT_EQ(outcome.error, QString::fromUtf8(c.error));
    EXPECT_EQ(outcome.error_code, c.code);
    EXPECT_EQ(outcome.error_text, c.error_text);
  }
}

TEST(Response, BodyFramings) {
  struct Case {
    const char* name;
    QByteArray answer;
    bool ok;
    QByteArray body;
    const char* error;
  };
  const Case cases[] = {
      {"chunked with extensions and trailers",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n5;name=value\r\nhello\r\n7 ; x\r\n, world\r\n"
       "0;last\r\nX-Trailer: t1\r\nX-Other: t2\r\n\r\n",
       true, "hello, world", ""},
      {"chunk sizes in upper and lower case", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nA\r\n0123456789\r\na\r\n"
       "abcdefghij\r\n0\r\n\r\n", true, "0123456789abcdefghij", ""},
      {"chunked wins over a length",
       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", true, "abc", ""},
      {"close inside a chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n9\r\nabc", false, "abc",
       "Connection Closed Gracefully."},
      {"close before the last chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n", false, "abc",
       "Connection Closed Gracefully."},
      {"chunk size that is not a number", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n",
       false, "", "Invalid chunk size"},
      {"chunk size with a 0x prefix", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0x3\r\nabc\r\n0\r\n\r\n",
       false, "", "Invalid chunk size"},
      {"chunk size with other characters", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3z\r\nabc\r\n0\r\n\r\n",
       false, "", "Invalid chunk size"},
      {"chunk size after a space", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n 3\r\nabc\r\n0\r\n\r\n",
       false, "", "Invalid chunk size"},
      {"more data than the chunk size said", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabcdef\r\n0\r\n\r\n",
       false, "abc", "Invalid chunk size"},
      {"a chunk ended by LF alone", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\n0\r\n\r\n", true,
       "abc", ""},
      {"two lengths that differ", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 5\r\n\r\nabcde", false, "",
       "Invalid Content-Length"},
      {"a list of lengths that differ", "HTTP/1.1 200 OK\r\nContent-Length: 3, 5\r\n\r\nabcde", false, "",
       "Invalid Content-Length"},
      {"a length beside one that is no number", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: x\r\n\r\nabc",
       false, "", "Invalid Content-Length"},
      {"the same length twice", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 3, 3\r\n\r\nabcde", true, "abc",
       ""},
      {"chunked ignores the lengths", "HTTP/1.1 200 OK\r\nContent-Length: 1, 2\r\nTransfer-Encoding: chunked\r\n\r\n"
       "3\r\nabc\r\n0\r\n\r\n", true, "abc", ""},
      {"length: exactly that many bytes", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef", true, "abc", ""},
      {"length: an early close is a cut body", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", false, "abc",
       "Connection Closed Gracefully."},
      {"a negative length leaves the end unknown", "HTTP/1.1 200 OK\r\nContent-Length: -4\r\n\r\nuntil close",
       false, "", "Invalid Content-Length"},
      {"multipart runs to the closing delimiter line",
       "HTTP/1.1 200 OK\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n--b1\r\npart\r\n--b1-- tail\r\nextra",
       true, "--b1\r\npart\r\n--b1-- tail\r\n", ""},
      {"multipart without delimiter runs to the close",
       "HTTP/1.1 200 OK\r\nContent-Type: multipart/mixed; boundary=b1\r\n\r\n--b1\r\npart", true, "--b1\r\npart", ""},
      {"no framing: until the close", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nall\r\nof it", true,
       "all\r\nof it", ""},
      {"close during the header lines ends them", "HTTP/1.1 200 OK\r\nX-A: 1\r\n", true, "", ""},
      {"LF alone ends lines", "HTTP/1.1 200 OK\nContent-Length: 2\n\nokay", true, "ok", ""},
  };
  for (const Case& c : cases) {
    for (size_t piece : {size_t{1}, size_t{7}, size_t{32768}}) {
      SCOPED_TRACE(::testing::Message() << c.name << ", pieces of " << piece);
      const Outcome outcome = Fetch(c.answer, piece);
      EXPECT_EQ(outcome.ok, c.ok);
      EXPECT_EQ(outcome.body, c.body);
      EXPECT_EQ(outcome.error, QString::fromLatin1(c.error));
    }
  }
}

TEST(Response, TrailersJoinTheHeaderLines) {
  HttpClient client;
  Fetch("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1;a=b\r\nx\r\n0\r\nX-Trailer: t1\r\n\r\n", 7, &client);
  EXPECT_EQ(client.Response().RawHeaders, QStringList({"Transfer-Encoding: chunked", "X-Trailer: t1"}));
}

TEST(Response, HeaderLinesBeyondTheLimitFail) {
  auto answer_with = [](int lines, const QByteArray& framing) {
    QByteArray answer = "HTTP/1.1 200 OK\r\n";
    for (int i = 1; i <= lines; ++i) answer += "X-H" + QByteArray::number(i) + ": v\r\n";
    return answer + framing;
  };
  const QByteArray chunked_with_trailers = "Transfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n" +
                                           QByteArray("T: t\r\n").repeated(256) + "\r\n";
  const struct {
    const char* name;
    QByteArray answer;
    bool ok;
    QByteArray body;  // a failure in the trailers leaves the body that had arrived
  } cases[] = {
      {"255 lines are fine", answer_with(254, "Content-Length: 4\r\n\r\nbody"), true, "body"},
      {"300 lines are too many", answer_with(299, "Content-Length: 4\r\n\r\nbody"), false, ""},
      {"256 trailer lines are too many", answer_with(0, chunked_with_trailers), false, "x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = Fetch(c.answer, 32768);
    EXPECT_EQ(outcome.ok, c.ok);
    EXPECT_EQ(outcome.error, c.ok ? "" : "Too many header lines");
    EXPECT_EQ(outcome.body, c.body);
  }
}

TEST(Response, ControlCharactersInHeaderLinesFail) {
  // Parsers disagree on such bytes ("5\0 99" is a length of 5 to some), so none is guessed at.
  const struct {
    const char* name;
    QByteArray header;
    bool ok;
  } cases[] = {
      {"NUL inside a length", Raw("Content-Length: 1\0 99\r\n"), false},
      {"NUL inside another value", Raw("X-Note: a\0b\r\nContent-Length: 1\r\n"), false},
      {"bare CR inside a length", "Content-Length: 1\r99\r\n", false},
      {"CR before the CR LF", "X-Note: a\r\r\nContent-Length: 1\r\n", false},
      {"other control characters", "X-Note: a\x01\x1b\x1f\r\nContent-Length: 1\r\n", false},
      {"DEL", "X-Note: a\x7f\r\nContent-Length: 1\r\n", false},
      {"a control character in a trailer", "Transfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\nT: \x02\r\n", false},
      {"HTAB is allowed", "X-Note: a\tb\r\nContent-Length: 1\r\n", true},
      {"bytes above 127 are allowed", "X-Note: \xe9\xa0\x85\r\nContent-Length: 1\r\n", true},
      {"LF alone ends a line", "X-Note: a\nContent-Length: 1\n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const bool chunked = c.header.startsWith("Transfer-Encoding");
    const QByteArray answer = "HTTP/1.1 200 OK\r\n" + c.header + (chunked ? "\r\n" : "\r\nx");
    for (const size_t piece : {size_t{1}, size_t{32768}}) {
      const Outcome outcome = Fetch(answer, piece);
      EXPECT_EQ(outcome.ok, c.ok);
      EXPECT_EQ(outcome.error, c.ok ? "" : "Invalid header");
      if (c.ok) {
        EXPECT_EQ(outcome.body, "x");
      }
    }
  }
}

TEST(Response, LineLengthLimit) {
  const QByteArray fits(16384, 'a');
  const QByteArray too_long(16385, 'a');
  const struct {
    QByteArray answer;
    bool ok;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nX: " + fits.left(16381) + "\r\nContent-Length: 0\r\n\r\n", true},
      {"HTTP/1.1 200 OK\r\nX: " + fits.left(16382) + "\r\nContent-Length: 0\r\n\r\n", false},
      {"HTTP/1.1 200 " + too_long + "\r\n\r\n", false},
      // Chunk extensions are counted apart from the line.
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1;" + fits + fits + "\r\nx\r\n0\r\n\r\n", true},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + fits + "1\r\nx\r\n0\r\n\r\n", false},
  };
  for (const auto& c : cases) {
    const Outcome outcome = Fetch(c.answer, 1000);
    EXPECT_EQ(outcome.ok, c.ok);
    if (!c.ok) {
      EXPECT_EQ(outcome.error, "Max line length exceeded.");
    }
  }
}

TEST(Response, InterimAnswersAreLimited) {
  const QByteArray interim = "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\n\r\n";
  EXPECT_TRUE(Fetch(interim.repeated(8) + OkAnswer("ok"), 32768).ok);
  const Outcome outcome = Fetch(interim.repeated(8) + "HTTP/1.1 102 Processing\r\n\r\n" + OkAnswer("ok"), 32768);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, "Too many interim responses");
}

TEST(Response, BodyAboveTheLimitFailsAndIsNotKept) {
  const QByteArray big(static_cast<qsizetype>(kMaxBodyBytes) + 1, 'z');
  const struct {
    const char* name;
    QByteArray answer;
  } cases[] = {
      {"announced length", "HTTP/1.1 200 OK\r\nContent-Length: 33554433\r\n\r\nabc"},
      {"announced chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2000001\r\nabc"},
      {"chunks adding up", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1000000\r\n" + big.left(0x1000000) +
                               "\r\n1000001\r\n" + big.left(0x1000001) + "\r\n0\r\n\r\n"},
      {"until close", "HTTP/1.1 200 OK\r\n\r\n" + big},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HttpClient client;
    MemoryServer server;
    server.piece = 1 << 20;
    server.answers.push_back(c.answer);
    server.Attach(client);
    QByteArray buffer = "kept";
    try {
      client.Get("http://h/x", buffer);
      ADD_FAILURE() << "no error";
    } catch (const HttpError& error) {
      EXPECT_EQ(error.Message(), "Response body too large");
    }
    EXPECT_EQ(buffer, "kept");
  }
  // Exactly at the limit is fine.
  const Outcome outcome = Fetch("HTTP/1.1 200 OK\r\n\r\n" + big.left(kMaxBodyBytes), 1 << 20);
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.body.size(), kMaxBodyBytes);
}

TEST(Response, BufferKeepsWhatWasThereAndNothingOfAnErrorBody) {
  HttpClient client;
  MemoryServer server;
  server.answers = {OkAnswer("abc"), "HTTP/1.1 500 Oops\r\nContent-Length: 3\r\n\r\nbad",
                    "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\npart"};
  server.Attach(client);
  QByteArray buffer = "0";
  client.Get("http://h/1", buffer);
  EXPECT_EQ(buffer, "0abc");
  EXPECT_THROW(client.Get("http://h/2", buffer), HttpProtocolError);
  EXPECT_EQ(buffer, "0abc");
  // A body cut short fails, and leaves what had arrived.
  EXPECT_THROW(client.Get("http://h/3", buffer), HttpError);
  EXPECT_EQ(buffer, "0abcpart");
}

TEST(Response, ALargeBodyOfUnknownLengthArrivesWholeAndGivesBackItsSpareRoom) {
  // Past 1 MiB such a body gets room for the largest body at once; what it did not use is
  // given back, whether the body ends, is cut short, or passes the limit.
  QByteArray body(3 * 1024 * 1024 + 5, Qt::Uninitialized);
  for (qsizetype i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7 + i / 4096);
  QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (qsizetype at = 0; at < body.size(); at += 65536) {
    const QByteArray chunk = body.mid(at, 65536);
    chunked += QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
  }
  const struct {
    const char* name;
    QByteArray answer;
    bool ok;
    qsizetype kept;
  } cases[] = {
      {"chunked", chunked + "0\r\n\r\n", true, body.size()},
      {"until the close", "HTTP/1.1 200 OK\r\n\r\n" + body, true, body.size()},
      {"chunked, cut short", chunked.left(chunked.size() - 4), false, body.size() - 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = Fetch(c.answer, 32768);
    EXPECT_EQ(outcome.ok, c.ok);
    EXPECT_EQ(outcome.body, body.left(c.kept));
    EXPECT_LT(outcome.body.capacity(), 2 * outcome.body.size());
  }
}

TEST(Response, EveryPrefixOfAnAnswerGivesAResultOrAnError) {
  const QByteArray answer =
      "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nSet-Cookie: a=b; Max-Age=10\r\nContent-Type: text/html\r\n"
      "Transfer-Encoding: chunked\r\n\r\n11;x=y\r\n<meta charset=gbk\r\n3\r\n>ab\r\n0\r\nT: 1\r\n\r\n";
  for (qsizetype n = 0; n <= answer.size(); ++n) {
    const Outcome outcome = Fetch(answer.left(n), 3);
    if (!outcome.ok) {
      EXPECT_FALSE(outcome.error.isEmpty());
    }
    if (n == answer.size()) {
      EXPECT_TRUE(outcome.ok);
    }
  }
}

TEST(BodyText, CharsetDecidesTheDecoding) {
  struct Case {
    const char* name;
    QByteArray headers;
    QByteArray body;
    QString text;
  };
  const Case cases[] = {
      {"json without charset is one character per byte", "Content-Type: application/json\r\n", "\xe4\xb8\xad",
       QStringLiteral("\u00e4\u00b8\u00ad")},
      {"json with utf-8", "Content-Type: application/json; charset=utf-8\r\n", "\xe4\xb8\xad", QStringLiteral("\u4e2d")},
      {"quoted charset, any case", "Content-Type: application/json; Charset=\"UTF-8\"\r\n", "\xe4\xb8\xad",
       QStringLiteral("\u4e2d")},
      {"text/plain is ISO-8859-1", "Content-Type: text/plain\r\n", "\xe9t\xe9", QStringLiteral("\u00e9t\u00e9")},
      {"no Content-Type at all", "", "\xe4\xb8\xad", QStringLiteral("\u00e4\u00b8\u00ad")},
      {"byte-order mark is kept", "Content-Type: text/plain; charset=utf-8\r\n", "\xef\xbb\xbfok",
       QStringLiteral("\ufeffok")},
      {"gbk", "Content-Type: text/plain; charset=GBK\r\n", "\xd6\xd0", QStringLiteral("\u4e2d")},
      {"gb2312 decodes as the gbk code page", "Content-Type: text/plain; charset=gb2312\r\n", "\x81\x40",
       QStringLiteral("\u4e02")},
      {"big5", "Content-Type: text/plain; charset=big5\r\n", "\xa4\xa4", QStringLiteral("\u4e2d")},
      {"gb18030", "Content-Type: text/plain; charset=gb18030\r\n", "\x81\x30\x81\x30", QStringLiteral("\u0080")},
      {"windows-1252", "Content-Type: text/plain; charset=windows-1252\r\n", "\x80", QStringLiteral("\u20ac")},
      {"utf-16 is little-endian and keeps its mark", "Content-Type: text/plain; charset=utf-16\r\n",
       QByteArray("\xff\xfe\x2d\x4e", 4), QStringLiteral("\ufeff\u4e2d")},
      {"us-ascii", "Content-Type: text/plain; charset=us-ascii\r\n", "a\xe1", QStringLiteral("aa")},
      {"unknown name is one character per byte", "Content-Type: text/plain; charset=x-no-such-set\r\n", "\xe4",
       QStringLiteral("\u00e4")},
      {"name outside the table that iconv knows", "Content-Type: text/plain; charset=ISO-8859-16\r\n", "\xa1",
       QStringLiteral("\u0104")},
      {"invalid utf-8 becomes replacement characters", "Content-Type: text/plain; charset=utf-8\r\n", "a\xffz",
       QStringLiteral("a\ufffdz")},
      {"html meta charset", "Content-Type: text/html\r\n", "<html><head><META charset='utf-8'></head>\xe4\xb8\xad",
       QStringLiteral("<html><head><META charset='utf-8'></head>\u4e2d")},
      {"html http-equiv content type", "Content-Type: text/html; charset=iso-8859-1\r\n",
       "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\xe4\xb8\xad",
       QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\u4e2d")},
      {"xml declaration", "Content-Type: application/xml\r\n", "<?xml version=\"1.0\" encoding=\"GBK\"?>\xd6\xd0",
       QStringLiteral("<?xml version=\"1.0\" encoding=\"GBK\"?>\u4e2d")},
      {"xml without declaration is utf-8", "Content-Type: application/rss+xml\r\n", "<a>\xe4\xb8\xad</a>",
       QStringLiteral("<a>\u4e2d</a>")},
      {"text/xml without charset is us-ascii", "Content-Type: text/xml\r\n", "<a>\xe9</a>", QStringLiteral("<a>i</a>")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FetchText(OkAnswer(c.body, c.headers)), c.text);
  }
}

TEST(BodyText, ConversionIsWholeAcrossItsWorkingPieces) {
  // Far more text than one piece of the conversion, with bad bytes on the way.
  const QByteArray gbk = QByteArray("\xd6\xd0").repeated(50000);
  const QString zhong = QString(50000, QChar(0x4e2d));
  EXPECT_EQ(DecodeBody(gbk + "\xff" + gbk + "\xd6", "gbk"), zhong + QChar(0xfffd) + zhong + QChar(0xfffd));
  EXPECT_EQ(DecodeBody(QByteArray("+AGEAYgBj-").repeated(30000), "utf-7"), QStringLiteral("abc").repeated(30000));
}

TEST(BodyText, HtmlMetaElementsJoinTheHeaderValues) {
  HttpClient client;
  Fetch(OkAnswer("<meta http-equiv=refresh content=\"5; url=/x\"><meta name=a content=b>", "Content-Type: text/html\r\n"),
        7, &client);
  EXPECT_TRUE(client.Response().RawHeaders.contains("refresh: 5; url=/x"));
  EXPECT_EQ(client.Response().CharSet, "ISO-8859-1");
}

TEST(BodyText, EmptyAndNamedCharsets) {
  EXPECT_EQ(DecodeBody("\xff", ""), QStringLiteral("\u00ff"));
  EXPECT_EQ(CodePageForCharset("UTF-8"), 65001);
  EXPECT_EQ(CodePageForCharset("us-ascii"), 20127);
  EXPECT_EQ(CodePageForCharset("iso-8859-1"), 28591);
  EXPECT_EQ(CodePageForCharset("GBK"), 936);
  EXPECT_EQ(CodePageForCharset("gb2312"), 936);
  EXPECT_EQ(CodePageForCharset("GB18030"), 54936);
  EXPECT_EQ(CodePageForCharset("Big5"), 950);
  EXPECT_EQ(CodePageForCharset("windows-1252"), 1252);
  EXPECT_EQ(CodePageForCharset("UTF-16"), 1200);
}

}  // namespace
}  // namespace orvelle::http
