// The client over TLS against a loopback server whose certificates the test makes.

#include "memory_connector.h"
#include "script_server.h"
#include "service/http/http_client.h"
#include "service/http/socket_stream.h"
#include "service/http/tls_stream.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>

namespace orvelle::http {
namespace {

using testing::OkAnswer;
using testing::PemPair;
using testing::Script;
using testing::ScriptServer;
using testing::TestCertificates;

class Tls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    authority_ = new TestCertificates();
    // The client trusts the default store, which SSL_CERT_FILE replaces.
    const QString file = testing::WriteTemporaryFile(authority_->AuthorityPem());
    ::setenv("SSL_CERT_FILE", file.toLocal8Bit().constData(), 1);
    localhost_ = new PemPair(authority_->ServerCertificate("localhost"));
  }
  static void TearDownTestSuite() {
    delete localhost_;
    delete authority_;
  }

  static QString Address(const ScriptServer& server, const char* path = "/") {
    return QStringLiteral("https://localhost:%1%2").arg(server.Port()).arg(QLatin1String(path));
  }

  static QString Failure(HttpClient& client, const QString& address) {
    try {
      client.Get(address);
    } catch (const HttpError& error) {
      return error.Message();
    }
    return QStringLiteral("(no error)");
  }

  static TestCertificates* authority_;
  static PemPair* localhost_;
};

TestCertificates* Tls::authority_ = nullptr;
PemPair* Tls::localhost_ = nullptr;

TEST_F(Tls, RequestWithoutConnectionLineAndReuse) {
  ScriptServer server({Script().Answer(OkAnswer("one")).Answer(OkAnswer("two"))}, localhost_);
  HttpClient client;
  client.Request.Connection = "Keep-Alive";
  EXPECT_EQ(client.Get(Address(server, "/a")), "one");
  EXPECT_TRUE(client.Request.Connection.isEmpty());
  EXPECT_EQ(client.Get(Address(server, "/b")), "two");
  EXPECT_EQ(server.Connections(), 1);
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_FALSE(server.Requests()[0].contains("Connection"));
  EXPECT_TRUE(server.Requests()[0].startsWith("GET /a HTTP/1.1\r\nHost: localhost:" + QByteArray::number(server.Port())));
}

TEST_F(Tls, DefaultPortIsLeftOutOfTheHostLine) {
  // Port 443 is not ours to listen on: the connector sends the connection to the test server.
  ScriptServer server({Script().Answer(OkAnswer("ok"))}, localhost_);
  HttpClient client;
  int asked_port = 0;
  client.SetConnector([&](const ConnectTarget& target) -> std::unique_ptr<ByteStream> {
    asked_port = target.port;
    auto socket = SocketStream::Connect(target.host, false, server.Port(), target.connect_timeout, target.limits.deadline);
    return TlsStream::Handshake(std::move(socket), target.host, target.limits);
  });
  EXPECT_EQ(client.Get("https://localhost:443/x"), "ok");
  EXPECT_EQ(asked_port, 443);
  EXPECT_TRUE(server.Requests().at(0).contains("\r\nHost: localhost\r\n"));
}

TEST_F(Tls, ConnectionCloseMeansANewHandshake) {
  ScriptServer server({Script().Answer(OkAnswer("a", "Connection: close\r\n")), Script().Answer(OkAnswer("b"))},
                      localhost_);
  HttpClient client;
  EXPECT_EQ(client.Get(Address(server)), "a");
  EXPECT_EQ(client.Get(Address(server)), "b");
  EXPECT_EQ(server.Connections(), 2);
}

TEST_F(Tls, UnaskedBytesAfterAnAnswerMeanANewHandshake) {
  // Sent after the answer, in a record of their own: the kept connection holds them unread.
  ScriptServer server({Script().Answer(OkAnswer("a")).Stall(20).Send("stray").Answer(OkAnswer("x")),
                       Script().Answer(OkAnswer("b"))},
                      localhost_);
  HttpClient client;
  EXPECT_EQ(client.Get(Address(server)), "a");
  ::usleep(100 * 1000);
  EXPECT_EQ(client.Get(Address(server)), "b");
  EXPECT_EQ(server.Connections(), 2);
}

TEST_F(Tls, CertificatesThatMustNotBeTrusted) {
  TestCertificates stranger;
  const PemPair other_host = authority_->ServerCertificate("other.example");
  const PemPair untrusted = stranger.ServerCertificate("localhost");
  for (const PemPair* pair : {&other_host, &untrusted}) {
    ScriptServer server({Script().Answer(OkAnswer("secret"))}, pair);
    HttpClient client;
    const QString message = Failure(client, Address(server));
    EXPECT_TRUE(message.startsWith("Error connecting with SSL.\r\n")) << message.toStdString();
    EXPECT_GT(message.size(), 28);
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_FALSE(client.Connected());
  }
}

TEST_F(Tls, PlainServerFailsTheHandshake) {
  ScriptServer server({Script().Send("HTTP/1.1 200 OK\r\n\r\n").Close()});
  HttpClient client;
  client.ReadTimeout = std::chrono::milliseconds(2000);
  const QString message = Failure(client, Address(server));
  EXPECT_TRUE(message.startsWith("Error connecting with SSL.\r\n")) << message.toStdString();
}

TEST_F(Tls, PeerClosingDuringTheHandshake) {
  ScriptServer server({Script().Close()});
  HttpClient client;
  EXPECT_EQ(Failure(client, Address(server)), "Error connecting with SSL.\r\nEOF was observed that violates the protocol");
}

TEST_F(Tls, StalledHandshakeTimesOut) {
  ScriptServer server({Script().Stall(5000)});
  HttpClient client;
  client.ReadTimeout = std::chrono::milliseconds(150);
  EXPECT_EQ(Failure(client, Address(server)), "Read timed out.");
}

TEST_F(Tls, StalledReadTimesOut) {
  ScriptServer server({Script().ReadRequest().Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nab").Stall(5000)},
                      localhost_);
  HttpClient client;
  client.ReadTimeout = std::chrono::milliseconds(150);
  EXPECT_EQ(Failure(client, Address(server)), "Read timed out.");
}

TEST_F(Tls, BodyUntilCloseOverTls) {
  ScriptServer server({Script().Answer("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nuntil the end").Close()},
                      localhost_);
  HttpClient client;
  EXPECT_EQ(client.Get(Address(server)), "until the end");
  EXPECT_FALSE(client.Connected());
}

}  // namespace
}  // namespace orvelle::http
