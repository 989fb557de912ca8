// The http-get tool against a loopback server: one client for all addresses, text or bytes
// out, and the error's kind and message with a non-zero exit.

#include "script_server.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace orvelle {
namespace {

using testing::Script;
using testing::ScriptServer;

struct ToolRun {
  int exit_code;
  QByteArray out;
  QByteArray err;
};

ToolRun HttpGet(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral(HTTP_GET_PATH), arguments);
  process.waitForFinished(30000);
  return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

QString Address(const ScriptServer& server, const char* path) {
  return QStringLiteral("http://127.0.0.1:%1%2").arg(server.Port()).arg(QLatin1String(path));
}

TEST(HttpGetTool, AddressesShareOneClient) {
  ScriptServer server({Script()
                           .Answer("HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nSet-Cookie: s=1\r\n"
                                   "Content-Length: 3\r\n\r\n\xe4\xb8\xad")
                           .Answer("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 2\r\n\r\n{}")});
  const ToolRun run = HttpGet({Address(server, "/a"), Address(server, "/b")});
  EXPECT_EQ(run.exit_code, 0) << run.err.constData();
  EXPECT_EQ(run.out, "\xe4\xb8\xad\n{}\n");
  EXPECT_EQ(server.Connections(), 1);
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_TRUE(server.Requests()[1].contains("\r\nCookie: s=1\r\n"));
}

TEST(HttpGetTool, BytesAreWrittenUnchanged) {
  const QByteArray body("\x00\xff\xe4 raw", 7);
  ScriptServer server({Script().Answer("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 7\r\n\r\n" + body)});
  const ToolRun run = HttpGet({"--bytes", Address(server, "/")});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, body);
}

TEST(HttpGetTool, FailuresNameTheirKind) {
  ScriptServer server({Script().Answer("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone")});
  const ToolRun protocol = HttpGet({Address(server, "/"), Address(server, "/never")});
  EXPECT_EQ(protocol.exit_code, 1);
  EXPECT_TRUE(protocol.err.startsWith("HttpProtocolError 404: HTTP/1.1 404 Not Found\ngone")) << protocol.err.constData();
  EXPECT_EQ(server.Requests().size(), 1u);

  const ToolRun invalid = HttpGet({"http://h/a\nb"});
  EXPECT_EQ(invalid.exit_code, 1);
  EXPECT_TRUE(invalid.err.startsWith("HttpError: Invalid character in URL")) << invalid.err.constData();
}

}  // namespace
}  // namespace orvelle
