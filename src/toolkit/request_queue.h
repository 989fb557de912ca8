#pragma once

#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_map>

class QTimer;

namespace orvelle {

// Runs blocking requests one at a time on a worker thread of its own, and reports each outcome on
// the user-interface thread, from the event loop. Nothing waits for a request: Submit returns at
// once, and the windows go on with every input while the request runs.
//
// A request can be cancelled at any moment: its outcome is then never reported, whatever it holds,
// and when it is running, `abort` (given at construction, callable from any thread) is called to
// make it fail quickly, again every 50 ms until it has ended. Destroying the queue cancels every
// request and waits for the running one to end.
class RequestQueue : public QObject {
  Q_OBJECT

 public:
  using Id = std::uint64_t;
  using Work = std::function<void()>;                    // runs on the worker; throws on failure
  using Done = std::function<void(std::exception_ptr)>;  // runs on the user-interface thread

  // How often a cancelled running request is asked again to end, in case the first request came
  // before the request had started listening for it.
  static constexpr int kAbortRepeatMilliseconds = 50;

  explicit RequestQueue(std::function<void()> abort, QObject* parent = nullptr);
  ~RequestQueue() override;
  RequestQueue(const RequestQueue&) = delete;
  RequestQueue& operator=(const RequestQueue&) = delete;

  // Queues `work` behind the requests already queued; `done` gets its exception, or none when it
  // succeeded. Returns the request's id for Cancel.
  Id Submit(Work work, Done done);
  // Drops the request: `done` is not called. Unknown or finished ids are ignored.
  void Cancel(Id id);
  // Whether a request is queued or running whose outcome is still to be reported.
  bool Busy() const { return !pending_.empty(); }

 private:
  struct Job {
    Id id;
    Work work;
  };

  void RunWorker();
  void Report(Id id, std::exception_ptr error);
  // Calls abort while the running request is one that was cancelled.
  void AbortCancelledRunning();

  std::function<void()> abort_;
  // The user-interface thread's side: the requests whose outcome is still wanted.
  std::unordered_map<Id, Done> pending_;
  Id next_id_ = 1;
  QTimer* abort_repeat_ = nullptr;

  // Shared with the worker.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  Id running_ = 0;              // the request the worker runs, 0 when none
  bool running_cancelled_ = false;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace orvelle
