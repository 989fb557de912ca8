// Abandoning a request from another thread.

#include "memory_connector.h"
#include "script_server.h"
#include "service/http/http_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace orvelle::http {
namespace {

using testing::OkAnswer;
using testing::Script;
using testing::ScriptServer;

QString Address(const ScriptServer& server) { return QStringLiteral("http://127.0.0.1:%1/").arg(server.Port()); }

// The server answers nothing for 20 s; the aborted request must fail long before that, and the
// client must serve its next request normally.
TEST(Abort, EndsAWaitingRequestFromAnotherThreadAndLeavesTheClientUsable) {
  ScriptServer server({Script().ReadRequest().Stall(20000)});
  ScriptServer next_server({Script().Answer(OkAnswer("next"))});
  HttpClient client;
  auto request = std::async(std::launch::async, [&] {
    try {
      client.Get(Address(server));
      return QString();
    } catch (const HttpError& error) {
      return error.Message();
    }
  });
  while (server.Requests().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  client.Abort();
  ASSERT_EQ(request.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_FALSE(request.get().isEmpty()) << "the aborted request reported success";
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.Get(Address(next_server)), "next");
}


// An aborted request on a kept connection looks like a connection the server dropped, which is
// otherwise sent again on a new one; an abandoned request must not be.
TEST(Abort, AnAbortedRequestOnAKeptConnectionIsNotSentAgain) {
  ScriptServer server({Script().Answer(OkAnswer("first")).ReadRequest().Stall(20000),
                       Script().Answer(OkAnswer("sent again"))});
  HttpClient client;
  ASSERT_EQ(client.Get(Address(server)), "first");
  auto request = std::async(std::launch::async, [&] {
    try {
      return client.Get(Address(server));
    } catch (const HttpError& error) {
      return QStringLiteral("failed: ") + error.Message();
    }
  });
  while (server.Requests().size() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  client.Abort();
  ASSERT_EQ(request.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(request.get().startsWith(QStringLiteral("failed: ")));
  EXPECT_EQ(server.Connections(), 1);
}

// A request still connecting is abandoned as promptly as one waiting for its answer: here the
// TLS handshake never gets an answer, and the name lookup of the second case never ends.
TEST(Abort, EndsAHandshakeAndANameLookupThatHang) {
  ScriptServer silent({Script().Stall(20000)});
  HttpClient client;
  auto handshake = std::async(std::launch::async, [&] {
    try {
      client.Get(QStringLiteral("https://127.0.0.1:%1/").arg(silent.Port()));
      return false;
    } catch (const HttpError&) {
      return true;
    }
  });
  while (silent.Connections() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  client.Abort();
  ASSERT_EQ(handshake.wait_for(std::chrono::seconds(3)), std::future_status::ready);
  EXPECT_TRUE(handshake.get());

  HttpClient resolving;
  std::atomic<bool> lookup_started{false};
  resolving.SetResolver([&](const QByteArray&, bool, int) -> ResolvedAddress {
    lookup_started = true;
    std::this_thread::sleep_for(std::chrono::seconds(8));
    throw HttpError(QStringLiteral("lookup gave up"));
  });
  auto lookup = std::async(std::launch::async, [&] {
    try {
      resolving.Get(QStringLiteral("http://never.invalid/"));
      return QString();
    } catch (const HttpError& error) {
      return error.Message();
    }
  });
  while (!lookup_started) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  resolving.Abort();
  ASSERT_EQ(lookup.wait_for(std::chrono::seconds(3)), std::future_status::ready);
  EXPECT_EQ(lookup.get(), QString::fromLatin1(kRequestAborted));
}

}  // namespace
}  // namespace orvelle::http
