// The client against loopback servers: connection reuse, closing, time-outs and socket errors.

#include "log_capture.h"
#include "memory_connector.h"
#include "script_server.h"
#include "service/http/http_client.h"
#include "service/http/socket_stream.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace orvelle::http {
namespace {

using testing::OkAnswer;
using testing::Script;
using testing::ScriptServer;

QString Address(const ScriptServer& server, const char* path = "/", const char* host = "127.0.0.1") {
  return QStringLiteral("http://%1:%2%3").arg(QLatin1String(host)).arg(server.Port()).arg(QLatin1String(path));
}

TEST(Connection, FirstRequestOverTheWire) {
  ScriptServer server({Script().Answer(OkAnswer("{}", "Content-Type: application/json\r\n"))});
  HttpClient client;
  EXPECT_EQ(client.Get(Address(server, "/j/v2/playlist?client=s%3Amainsite%7Cy%3A3.0&pt=#frag")), "{}");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0],
            "GET /j/v2/playlist?client=s%3Amainsite%7Cy%3A3.0&pt= HTTP/1.1\r\nHost: 127.0.0.1:" +
                QByteArray::number(server.Port()) +
                "\r\nAccept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n"
                "User-Agent: Mozilla/3.0 (compatible; Orvelle)\r\n\r\n");
}

TEST(Connection, ReuseAndNewConnections) {
  const QByteArray close_answer = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 1\r\n\r\nc";
  const QByteArray until_close = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nu";
  struct Case {
    const char* name;
    std::vector<Script> scripts;
    std::vector<const char*> hosts;  // one request per entry
    int connections;
    int pause_ms = 0;
  };
  const Case cases[] = {
      {"keep-alive reuses one connection", {Script().Answer(OkAnswer("a")).Answer(OkAnswer("b"))},
       {"127.0.0.1", "127.0.0.1"}, 1},
      {"host names compare without regard to case", {Script().Answer(OkAnswer("a")).Answer(OkAnswer("b"))},
       {"localhost", "LocalHost"}, 1},
      {"Connection: close opens a new one", {Script().Answer(close_answer), Script().Answer(OkAnswer("b"))},
       {"127.0.0.1", "127.0.0.1"}, 2},
      {"a body read until the close opens a new one",
       {Script().Answer(until_close).Close(), Script().Answer(OkAnswer("b"))}, {"127.0.0.1", "127.0.0.1"}, 2},
      {"a peer that closed meanwhile is noticed",
       {Script().Answer(OkAnswer("a")).Close(), Script().Answer(OkAnswer("b"))}, {"127.0.0.1", "127.0.0.1"}, 2, 100},
      {"stray bytes sent with an answer give the connection up",
       {Script().Answer(OkAnswer("a") + "stray").Answer(OkAnswer("b")), Script().Answer(OkAnswer("b"))},
       {"127.0.0.1", "127.0.0.1"}, 2, 100},
      {"stray bytes sent after an answer give the connection up",
       {Script().Answer(OkAnswer("a")).Stall(20).Send("stray").Answer(OkAnswer("b")), Script().Answer(OkAnswer("b"))},
       {"127.0.0.1", "127.0.0.1"}, 2, 100},
      {"stray bytes that keep trickling give the connection up",
       {Script().Answer(OkAnswer("a") + "x").Drip("y", 500), Script().Answer(OkAnswer("b"))},
       {"127.0.0.1", "127.0.0.1"}, 2, 100},
      {"a flood of unasked data gives the connection up",
       {Script().Answer(OkAnswer("a") + QByteArray(256 * 1024, 'j')).Stall(2000), Script().Answer(OkAnswer("b"))},
       {"127.0.0.1", "127.0.0.1"}, 2, 100},
      {"every host switch opens a new one",
       {Script().Answer(OkAnswer("a")), Script().Answer(OkAnswer("b")), Script().Answer(OkAnswer("c"))},
       {"127.0.0.1", "localhost", "127.0.0.1"}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptServer server(c.scripts);
    HttpClient client;
    for (const char* host : c.hosts) {
      QByteArray buffer;
      // Give a server's close time to arrive before the next request.
      if (client.Connected()) ::usleep(c.pause_ms * 1000);
      EXPECT_NO_THROW(client.Get(Address(server, "/", host), buffer));
      EXPECT_EQ(buffer.size(), 1);
    }
    EXPECT_EQ(server.Requests().size(), c.hosts.size());
    EXPECT_EQ(server.Connections(), c.connections);
  }
}

TEST(Connection, AnAnswerWithBothTransferEncodingAndLengthIsNotFollowedOnItsConnection) {
  // Two framings in one answer may hide a second answer in its body: the answer is delivered
  // (a chunked one read by its chunks), but nothing more is read from that connection.
  struct Case {
    const char* name;
    QByteArray answer;
    QString result;  // the body, or the error's ErrorMessage
  };
  const Case cases[] = {
      {"chunked and a length",
       "HTTP/1.1 200 OK\r\nContent-Length: 40\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", "abc"},
      {"chunked and lengths that differ",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 1, 2\r\n\r\n3\r\nabc\r\n0\r\n\r\n", "abc"},
      {"an error answer", "HTTP/1.1 404 Not Found\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n"
                          "4\r\ngone\r\n0\r\n\r\n", "gone"},
      {"a coding that changes nothing",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\nContent-Length: 3\r\n\r\nabc", "abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptServer server({Script().Answer(c.answer).Answer(OkAnswer("kept")), Script().Answer(OkAnswer("new"))});
    HttpClient client;
    test::LogCapture log;
    QString first;
    try {
      first = client.Get(Address(server));
    } catch (const HttpProtocolError& error) {
      first = error.ErrorMessage();
    }
    EXPECT_EQ(first, c.result);
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(log.Matching("orvelle.http debug", "Transfer-Encoding", "Content-Length").size(), 1)
        << log.Lines().join('\n').toStdString();
    EXPECT_EQ(client.Get(Address(server)), "new");
    EXPECT_EQ(server.Connections(), 2);
  }
}

TEST(Connection, ADeadKeptConnectionIsRetriedOnceOnANewOne) {
  struct Case {
    const char* name;
    std::vector<Script> scripts;
    bool ok;
    int connections;
  };
  const Case cases[] = {
      {"closed as the next request went out",
       {Script().Answer(OkAnswer("a")).ReadRequest().Close(), Script().Answer(OkAnswer("b"))}, true, 2},
      {"reset as the next request went out",
       {Script().Answer(OkAnswer("a")).ReadRequest().Reset(), Script().Answer(OkAnswer("b"))}, true, 2},
      {"only once", {Script().Answer(OkAnswer("a")).ReadRequest().Close(), Script().ReadRequest().Close()}, false, 2},
      {"not after the answer began",
       {Script().Answer(OkAnswer("a")).ReadRequest().Send("HTTP/1.1 200").Close(), Script().Answer(OkAnswer("b"))},
       false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptServer server(c.scripts);
    HttpClient client;
    EXPECT_EQ(client.Get(Address(server)), "a");
    QString second;
    try {
      second = client.Get(Address(server));
    } catch (const HttpError& error) {
      second = error.Message();
    }
    EXPECT_EQ(second, c.ok ? "b" : "Connection Closed Gracefully.");
    EXPECT_EQ(server.Connections(), c.connections);
  }
}

TEST(Connection, ANewConnectionThatDiesIsNotRetried) {
  ScriptServer server({Script().ReadRequest().Close(), Script().Answer(OkAnswer("b"))});
  HttpClient client;
  EXPECT_THROW(client.Get(Address(server)), HttpError);
  EXPECT_EQ(server.Connections(), 1);
}

TEST(Connection, AConnectionIdleTooLongIsNotReused) {
  ScriptServer server({Script().Answer(OkAnswer("a")).Answer(OkAnswer("kept")), Script().Answer(OkAnswer("new"))});
  HttpClient client;
  client.IdleReuseLimit = std::chrono::milliseconds(50);
  client.Get(Address(server));
  ::usleep(150 * 1000);
  EXPECT_EQ(client.Get(Address(server)), "new");
  EXPECT_EQ(server.Connections(), 2);
}

TEST(Connection, KeepAliveFollowsTheClientsProtocolVersion) {
  const struct {
    HttpProtocolVersion version;
    QByteArray connection_header;
    bool kept;
  } cases[] = {
      {pv1_1, "", true},
      {pv1_1, "Connection:  CLOSE \r\n", false},
      {pv1_1, "Proxy-Connection: close\r\n", false},
      {pv1_0, "", false},
      {pv1_0, "Connection: Keep-Alive\r\n", true},
      {pv1_0, "Proxy-Connection: keep-alive\r\n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.connection_header.constData());
    ScriptServer server({Script().Answer(OkAnswer("a", c.connection_header))});
    HttpClient client;
    client.ProtocolVersion = c.version;
    client.Get(Address(server));
    EXPECT_EQ(client.Connected(), c.kept);
  }
}

TEST(Connection, KeepAliveFollowsTheAnswersVersionAndConnectionOptions) {
  // A connection the server ends with its answer is not used again: the next request would
  // wait for an answer that never comes.
  const struct {
    QByteArray head;
    bool kept;
  } cases[] = {
      {"HTTP/1.0 200 OK\r\n", false},
      {"HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\n", true},
      {"HTTP/1.0 200 OK\r\nConnection: keep-alive, close\r\n", false},
      {"HTTP/1.1 200 OK\r\n", true},
      {"HTTP/1.1 200 OK\r\nConnection: Upgrade, close\r\n", false},
      {"HTTP/1.1 200 OK\r\nConnection: keep-alive\r\nConnection: close\r\n", false},
      {"ICY 200 OK\r\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.head.constData());
    const QByteArray first = c.head + "Content-Length: 1\r\n\r\na";
    // The server holds the connection after its script, reading without answering.
    ScriptServer server({c.kept ? Script().Answer(first).Answer(OkAnswer("b")) : Script().Answer(first),
                         Script().Answer(OkAnswer("b"))});
    HttpClient client;
    client.ReadTimeout = std::chrono::milliseconds(2000);
    client.Get(Address(server));
    EXPECT_EQ(client.Connected(), c.kept);
    EXPECT_EQ(client.Get(Address(server)), "b");
    EXPECT_EQ(server.Connections(), c.kept ? 1 : 2);
  }
}

TEST(Connection, CookiePathsMatchThePathAsSent) {
  ScriptServer server({Script()
                           .Answer(OkAnswer("a", "Set-Cookie: wire=1; Path=/caf%C3%A9\r\nSet-Cookie: default=2\r\n"))
                           .Answer(OkAnswer("b"))});
  HttpClient client;
  const QString origin = Address(server, "");
  client.Get(origin + QStringLiteral("/caf\u00e9/set"));
  client.Get(origin + QStringLiteral("/caf\u00e9/echo"));
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_TRUE(server.Requests()[1].startsWith("GET /caf%C3%A9/echo HTTP/1.1\r\n"));
  EXPECT_TRUE(server.Requests()[1].contains("\r\nCookie: wire=1; default=2\r\n")) << server.Requests()[1].constData();
}

TEST(Connection, ErrorStatusStillDecidesKeepAlive) {
  ScriptServer server({Script()
                           .Answer("HTTP/1.1 404 Not Found\r\nSet-Cookie: seen=1\r\nContent-Length: 4\r\n\r\ngone")
                           .Answer(OkAnswer("ok"))});
  HttpClient client;
  try {
    client.Get(Address(server, "/a"));
    ADD_FAILURE() << "no error";
  } catch (const HttpProtocolError& error) {
    EXPECT_EQ(error.ErrorCode(), 404);
    EXPECT_EQ(error.Message(), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(error.ErrorMessage(), "gone");
  }
  EXPECT_EQ(client.Get(Address(server, "/b")), "ok");
  EXPECT_EQ(server.Connections(), 1);
  // The error response's cookie went back with the next request.
  EXPECT_TRUE(server.Requests().at(1).contains("\r\nCookie: seen=1\r\n"));
}

TEST(Connection, RedirectIsNotFollowed) {
  ScriptServer server(
      {Script().Answer("HTTP/1.1 301 Moved Permanently\r\nLocation: /elsewhere\r\nContent-Length: 0\r\n\r\n")});
  HttpClient client;
  try {
    client.Get(Address(server));
    ADD_FAILURE() << "no error";
  } catch (const HttpProtocolError& error) {
    EXPECT_EQ(error.ErrorCode(), 301);
  }
  EXPECT_EQ(client.RedirectCount(), 1);
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(Connection, SilentRedirectBodyCountsAsEmpty) {
  // No length, no close: the body would run until the close, but nothing arrives in time.
  ScriptServer server({Script().Answer("HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Type: text/plain\r\n\r\n")});
  HttpClient client;
  client.RedirectBodyWait = std::chrono::milliseconds(100);
  client.ReadTimeout = std::chrono::milliseconds(5000);
  try {
    client.Get(Address(server));
    ADD_FAILURE() << "no error";
  } catch (const HttpProtocolError& error) {
    EXPECT_EQ(error.ErrorCode(), 302);
    EXPECT_EQ(error.ErrorMessage(), "");
  }
}

TEST(Connection, InterimAnswersOnAnOpenConnection) {
  // The server keeps the connection open after each answer: a client that took an interim
  // answer for the final one would wait for a body until its read time-out.
  ScriptServer hints({Script().Answer("HTTP/1.1 103 Early Hints\r\nLink: </c.css>\r\n\r\n" + OkAnswer("ok")).Stall(10000)});
  HttpClient client;
  client.ReadTimeout = std::chrono::milliseconds(5000);
  EXPECT_EQ(client.Get(Address(hints)), "ok");

  ScriptServer upgrade({Script().Answer("HTTP/1.1 101 Switching Protocols\r\nUpgrade: h2c\r\n\r\n").Stall(10000)});
  try {
    client.Get(Address(upgrade));
    ADD_FAILURE() << "no error";
  } catch (const HttpProtocolError& error) {
    EXPECT_EQ(error.ErrorCode(), 101);
  }
  EXPECT_FALSE(client.Connected());
}

TEST(Connection, ARedirectBodyGivenUpOnClosesTheConnection) {
  // The redirect's body arrives after the client stopped waiting for it; on a kept
  // connection it would be read as the next answer's status line.
  ScriptServer server({Script()
                           .Answer("HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 7\r\n\r\n")
                           .Stall(300)
                           .Send("moved\r\n"),
                       Script().Answer(OkAnswer("b"))});
  HttpClient client;
  client.RedirectBodyWait = std::chrono::milliseconds(50);
  client.ReadTimeout = std::chrono::milliseconds(2000);
  EXPECT_THROW(client.Get(Address(server)), HttpProtocolError);
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.Get(Address(server)), "b");
  EXPECT_EQ(server.Connections(), 2);
}

TEST(Connection, TimeOuts) {
  struct Case {
    const char* name;
    Script script;
    int read_ms;
    int request_ms;
  };
  const Case cases[] = {
      {"no status line", Script().ReadRequest().Stall(5000), 150, 60000},
      {"stall inside the headers", Script().ReadRequest().Send("HTTP/1.1 200 OK\r\nX-").Stall(5000), 150, 60000},
      {"stall inside the body", Script().ReadRequest().Send("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nab").Stall(5000),
       150, 60000},
      {"a byte now and then", Script().ReadRequest().Drip("HTTP/1.1 200 OK\r\nX-Slow: ", 20), 5000, 300},
      {"fast header lines without end", Script().ReadRequest().Drip("HTTP/1.1 100 Continue\r\n", 1), 5000, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptServer server({c.script});
    HttpClient client;
    client.ReadTimeout = std::chrono::milliseconds(c.read_ms);
    client.RequestTimeout = std::chrono::milliseconds(c.request_ms);
    QString message;
    try {
      client.Get(Address(server));
    } catch (const HttpError& error) {
      message = error.Message();
    }
    EXPECT_EQ(message, "Read timed out.");
    EXPECT_FALSE(client.Connected());
  }
}

TEST(Connection, FailureInsideABodyKeepsWhatArrived) {
  const QByteArray part(40000, 'p');
  ScriptServer server({Script().Answer("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + part).Stall(5000)});
  HttpClient client;
  client.ReadTimeout = std::chrono::milliseconds(200);
  QByteArray buffer = "<";
  EXPECT_THROW(client.Get(Address(server), buffer), HttpError);
  EXPECT_EQ(buffer, "<" + part);
}

TEST(Connection, ConnectTimeOutIsASocketError) {
  // A listener whose backlog is full and that never accepts: further connects get no answer.
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  socklen_t length = sizeof address;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  std::vector<int> fillers;
  for (int i = 0; i < 3; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    fillers.push_back(fd);
  }
  ::usleep(50000);

  HttpClient client;
  client.ConnectTimeout = std::chrono::milliseconds(200);
  try {
    client.Get(QStringLiteral("http://127.0.0.1:%1/").arg(ntohs(address.sin_port)));
    ADD_FAILURE() << "no error";
  } catch (const SocketError& error) {
    EXPECT_EQ(error.LastError(), ETIMEDOUT);
    EXPECT_TRUE(error.Message().startsWith(QStringLiteral("Socket Error # %1\r\n").arg(ETIMEDOUT)))
        << error.what();
  }
  for (int fd : fillers) ::close(fd);
  ::close(listener);
}

TEST(Connection, RefusedConnectIsASocketError) {
  // Take a free port and close it again, so nothing listens there.
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(probe);

  HttpClient client;
  try {
    client.Get(QStringLiteral("http://127.0.0.1:%1/").arg(ntohs(address.sin_port)));
    ADD_FAILURE() << "no error";
  } catch (const SocketError& error) {
    EXPECT_EQ(error.LastError(), ECONNREFUSED);
    EXPECT_EQ(error.Message(), QStringLiteral("Socket Error # %1\r\n%2").arg(ECONNREFUSED).arg(QString::fromLocal8Bit(strerror(ECONNREFUSED))));
  }
}

TEST(Connection, FailedResolutionIsASocketErrorWithTheResolversText) {
  // A bracketed host is a literal address; this one fails without asking any name server.
  HttpClient client;
  try {
    client.Get("http://[no.such.literal]:8080/");
    ADD_FAILURE() << "no error";
  } catch (const SocketError& error) {
    EXPECT_EQ(error.LastError(), EAI_NONAME);
    EXPECT_EQ(error.Message(), QStringLiteral("Socket Error # %1\r\n%2").arg(EAI_NONAME).arg(QString::fromLocal8Bit(gai_strerror(EAI_NONAME))));
  }
}

TEST(Connection, AHangingResolverCountsTowardTheTimeOuts) {
  // The resolver answers with the address of a working server, but only after the time-outs:
  // a client that waited for it would get that server's answer instead of the time-out.
  ScriptServer server({Script().Answer(OkAnswer("late")), Script().Answer(OkAnswer("late"))});
  const int port = server.Port();
  const Resolver slow = [port](const QByteArray&, bool, int) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    return SystemResolve("127.0.0.1", false, port);
  };
  const struct {
    const char* name;
    int connect_ms;
    int request_ms;
  } cases[] = {{"connect time-out", 100, 60000}, {"whole-request deadline", 60000, 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HttpClient client;
    client.SetResolver(slow);
    client.ConnectTimeout = std::chrono::milliseconds(c.connect_ms);
    client.RequestTimeout = std::chrono::milliseconds(c.request_ms);
    try {
      client.Get("http://slow.example/");
      ADD_FAILURE() << "no error";
    } catch (const SocketError& error) {
      EXPECT_EQ(error.LastError(), ETIMEDOUT);
    }
  }
}

TEST(Connection, TheResolverIsAskedForTheAsciiName) {
  ScriptServer server({Script().Answer(OkAnswer("ok"))});
  const int port = server.Port();
  QByteArray asked;
  HttpClient client;
  client.SetResolver([port, &asked](const QByteArray& name, bool, int) {
    asked = name;
    return SystemResolve("127.0.0.1", false, port);
  });
  EXPECT_EQ(client.Get(QStringLiteral("http://b\u00fccher.example/")), "ok");
  EXPECT_EQ(asked, "xn--bcher-kva.example");
}

TEST(Connection, LargeAnnouncedBodyFailsAtOnce) {
  // The server announces more than the limit and then sends nothing: the client must not wait.
  ScriptServer server({Script().Answer("HTTP/1.1 200 OK\r\nContent-Length: 1000000000\r\n\r\n").Stall(5000)});
  HttpClient client;
  client.ReadTimeout = std::chrono::milliseconds(3000);
  QByteArray buffer;
  try {
    client.Get(Address(server), buffer);
    ADD_FAILURE() << "no error";
  } catch (const HttpError& error) {
    EXPECT_EQ(error.Message(), "Response body too large");
  }
  EXPECT_TRUE(buffer.isEmpty());
  EXPECT_FALSE(client.Connected());
}

TEST(Connection, StreamedBodyFailsAsSoonAsItPassesTheLimit) {
  const QByteArray chunk(1 << 20, 'x');
  Script script;
  script.ReadRequest().Send("HTTP/1.1 200 OK\r\n\r\n");
  for (int i = 0; i < 40; ++i) script.Send(chunk);
  ScriptServer server({script});
  HttpClient client;
  QByteArray buffer;
  EXPECT_THROW(client.Get(Address(server), buffer), HttpError);
  EXPECT_TRUE(buffer.isEmpty());
}

}  // namespace
}  // namespace orvelle::http
