// Answers from a loopback server whose framing is folded, doubtful or coded in a way the client
// does not read: each gives the body the rules give it, or fails; none hands on a wrong body.

#include "memory_connector.h"
#include "script_server.h"
#include "service/http/http_client.h"

#include <gtest/gtest.h>

namespace orvelle::http {
namespace {

using testing::OkAnswer;
using testing::Script;
using testing::ScriptServer;

QString Address(const ScriptServer& server, const QString& path = QStringLiteral("/")) {
  return QStringLiteral("http://127.0.0.1:%1%2").arg(server.Port()).arg(path);
}

// The body, or the failure's message.
struct Outcome {
  bool ok = false;
  QByteArray result;
};

Outcome FetchFromServer(const QByteArray& answer, const QString& accept_encoding = QString()) {
  ScriptServer server({Script().Answer(answer).Close()});
  HttpClient client;
  client.ReadTimeout = std::chrono::milliseconds(3000);
  client.Request.AcceptEncoding = accept_encoding;
  QByteArray body;
  try {
    client.Get(Address(server), body);
    return {true, body};
  } catch (const HttpError& error) {
    return {false, error.Message().toUtf8()};
  }
}

QByteArray Chunked(const QByteArray& chunks) {
  return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunks + "0\r\n\r\n";
}

TEST(Framing, AnswersGiveTheirBodyOrFail) {
  const QByteArray extension_100k = ";x=" + QByteArray(100 * 1024, 'e');
  QByteArray many_extensions;
  for (int i = 0; i < 20; ++i) many_extensions += "1;x=" + QByteArray(64 * 1024, 'e') + "\r\na\r\n";
  const struct {
    const char* name;
    QByteArray answer;
    bool ok;
    QByteArray result;
    const char* accept_encoding = "";
  } cases[] = {
      // A line folded onto the one before hides a field in another: the answer is refused.
      {"a folded line", "HTTP/1.1 200 OK\r\nX-Long: a\r\n Content-Length: 5\r\n\r\nhelloEXTRA", false,
       "Invalid header"},
      {"folded by a tab", "HTTP/1.1 200 OK\r\nX-Long: a\r\n\tContent-Length: 5\r\n\r\nhelloEXTRA", false,
       "Invalid header"},
      {"a folded value", "HTTP/1.1 200 OK\r\nContent-Length:\r\n  5\r\n\r\nhelloEXTRA", false, "Invalid header"},
      {"white space before the first field", "HTTP/1.1 200 OK\r\n Content-Length: 5\r\n\r\nhelloEXTRA", false,
       "Invalid header"},
      {"a folded trailer", Chunked("1\r\na\r\n").replace("0\r\n\r\n", "0\r\nT: 1\r\n  2\r\n\r\n"), false,
       "Invalid header"},
      // A length is decimal digits, or the body's end is unknown.
      {"two numbers in one length", "HTTP/1.1 200 OK\r\nContent-Length: 5 5\r\n\r\nhelloEXTRA", false,
       "Invalid Content-Length"},
      {"a plus sign", "HTTP/1.1 200 OK\r\nContent-Length: +5\r\n\r\nhelloEXTRA", false, "Invalid Content-Length"},
      {"a minus sign", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nhelloEXTRA", false, "Invalid Content-Length"},
      {"hexadecimal", "HTTP/1.1 200 OK\r\nContent-Length: 0x5\r\n\r\nhelloEXTRA", false, "Invalid Content-Length"},
      {"an empty length", "HTTP/1.1 200 OK\r\nContent-Length: \r\n\r\nhelloEXTRA", false, "Invalid Content-Length"},
      {"a length and an empty member", "HTTP/1.1 200 OK\r\nContent-Length: 5,\r\n\r\nhelloEXTRA", false,
       "Invalid Content-Length"},
      {"leading zeros", "HTTP/1.1 200 OK\r\nContent-Length: 005\r\n\r\nhelloEXTRA", true, "hello"},
      {"one length repeated", "HTTP/1.1 200 OK\r\nContent-Length: 5, 005\r\n\r\nhelloEXTRA", true, "hello"},
      {"a length beyond 64 bits", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nhello", false,
       "Response body too large"},
      // Only chunked is decoded; a body in another transfer coding is refused.
      {"gzip, then chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n3\r\n\x1f\x8b\x08\r\n0\r\n\r\n",
       false, "Unsupported transfer coding: gzip"},
      {"gzip alone beside a length", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\nContent-Length: 3\r\n\r\n\x1f\x8b\x08",
       false, "Unsupported transfer coding: gzip"},
      {"codings on two lines", "HTTP/1.1 200 OK\r\nTransfer-Encoding: deflate\r\nTransfer-Encoding: chunked\r\n\r\n"
       "1\r\nx\r\n0\r\n\r\n", false, "Unsupported transfer coding: deflate"},
      {"chunked not last", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, gzip\r\n\r\nabc", false,
       "Unsupported transfer coding: gzip"},
      {"chunked twice", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", false,
       "Unsupported transfer coding: chunked"},
      {"on an error answer", "HTTP/1.1 404 Not Found\r\nTransfer-Encoding: br\r\n\r\nabc", false,
       "Unsupported transfer coding: br"},
      {"identity changes nothing", "HTTP/1.1 200 OK\r\nTransfer-Encoding: identity, CHUNKED\r\n\r\n3\r\nabc\r\n0\r\n\r\n",
       true, "abc"},
      // A content coding passes only when the request asked for it.
      {"content coding not asked for", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 3\r\n\r\n\x1f\x8b\x08",
       false, "Unsupported content coding: gzip"},
      {"content coding asked for", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 3\r\n\r\n\x1f\x8b\x08",
       true, "\x1f\x8b\x08", "gzip"},
      {"one of two content codings asked for", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip, br\r\nContent-Length: 1\r\n\r\n"
       "x", false, "Unsupported content coding: br", "gzip;q=1.0"},
      {"identity content", "HTTP/1.1 200 OK\r\nContent-Encoding: Identity\r\nContent-Length: 2\r\n\r\nok", true, "ok"},
      {"an error answer keeps its status", "HTTP/1.1 500 Oops\r\nContent-Encoding: gzip\r\nContent-Length: 1\r\n\r\nx",
       false, "HTTP/1.1 500 Oops"},
      // Chunk extensions are skipped apart from the line limit, up to a bound for the body.
      {"an extension of 100 KB", Chunked("5" + extension_100k + "\r\nhello\r\n"), true, "hello"},
      {"extensions beyond 1 MiB in all", Chunked(many_extensions), false, "Chunk extensions too large"},
      {"a size line too long before its extension", Chunked(QByteArray(16385, '0') + "1;x\r\na\r\n"), false,
       "Max line length exceeded."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = FetchFromServer(c.answer, QString::fromLatin1(c.accept_encoding));
    EXPECT_EQ(outcome.ok, c.ok);
    EXPECT_EQ(outcome.result, c.result);
  }
}

TEST(Framing, AFoldedSetCookieIsNeverStored) {
  ScriptServer server({Script().Answer("HTTP/1.1 200 OK\r\nX-A: 1\r\n Set-Cookie: folded=1\r\nSet-Cookie: plain=2\r\n"
                                       "Content-Length: 1\r\n\r\na"),
                       Script().Answer(OkAnswer("b"))});
  HttpClient client;
  EXPECT_THROW(client.Get(Address(server)), HttpError);
  EXPECT_EQ(client.Get(Address(server)), "b");
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_FALSE(server.Requests()[1].contains("Cookie:")) << server.Requests()[1].constData();
}

TEST(Framing, ADoubtfulLengthOnAKeptConnectionFailsAtOnce) {
  // The server keeps the connection open: reading such a body to the close would wait for
  // the read time-out, then hand on whatever had come.
  ScriptServer server({Script().Answer("HTTP/1.1 200 OK\r\nContent-Length: 5 5\r\n\r\nhelloEXTRA"),
                       Script().Answer(OkAnswer("next"))});
  HttpClient client;
  client.ReadTimeout = std::chrono::milliseconds(5000);
  try {
    client.Get(Address(server));
    ADD_FAILURE() << "no error";
  } catch (const HttpError& error) {
    EXPECT_EQ(error.Message(), "Invalid Content-Length");
  }
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.Get(Address(server)), "next");
}

}  // namespace
}  // namespace orvelle::http
