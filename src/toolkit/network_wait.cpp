#include "toolkit/network_wait.h"

#include "toolkit/timer.h"

#include <QEventLoop>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace orvelle {
namespace {

// How often an abandoned request is asked again to end, in case the first request to end
// came before the request had started.
constexpr std::chrono::milliseconds kAbandonRepeat{50};

// One request at a time: the program has one HTTP client.
std::mutex& RequestMutex() {
  static std::mutex mutex;
  return mutex;
}

// What the worker and the waiting thread share.
struct Shared {
  std::mutex mutex;
  std::condition_variable ended_signal;
  bool ended = false;
  bool abandoned = false;
  std::exception_ptr error;
};

void RunRequest(Shared& shared, const std::function<void()>& request) {
  std::lock_guard one_at_a_time(RequestMutex());
  {
    std::lock_guard lock(shared.mutex);
    if (shared.abandoned) return;
  }
  try {
    request();
  } catch (...) {
    std::lock_guard lock(shared.mutex);
    shared.error = std::current_exception();
  }
}

bool HasEnded(Shared& shared) {
  std::lock_guard lock(shared.mutex);
  return shared.ended;
}

void AbandonUntilEnded(Shared& shared, const std::function<void()>& abandon) {
  std::unique_lock lock(shared.mutex);
  shared.abandoned = true;
  while (!shared.ended) {
    lock.unlock();
    abandon();
    lock.lock();
    shared.ended_signal.wait_for(lock, kAbandonRepeat, [&] { return shared.ended; });
  }
}

}  // namespace

void WaitForNetwork(const std::function<void()>& request, const std::function<void()>& abandon) {
  Shared shared;
  QEventLoop loop;
  Timer::TickHold hold_ticks;
  std::thread worker([&] {
    RunRequest(shared, request);
    {
      std::lock_guard lock(shared.mutex);
      shared.ended = true;
    }
    shared.ended_signal.notify_all();
    // Posted rather than called: the loop may not have started yet, and a quit before its
    // start would be lost.
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });

  loop.exec(QEventLoop::ExcludeUserInputEvents);

  const bool abandoned = !HasEnded(shared);
  if (abandoned) AbandonUntilEnded(shared, abandon);
  worker.join();
  if (abandoned) throw RequestAbandoned();
  if (shared.error) std::rethrow_exception(shared.error);
}

}  // namespace orvelle
