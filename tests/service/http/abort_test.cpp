// Abandoning a request from another thread.

#include "memory_connector.h"
#include "script_server.h"
#include "service/http/http_client.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace orvelle::http
