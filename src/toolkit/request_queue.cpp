#include "toolkit/request_queue.h"

#include <QTimer>

#include <algorithm>

namespace orvelle {

RequestQueue::RequestQueue(std::function<void()> abort, QObject* parent)
    : QObject(parent), abort_(std::move(abort)), abort_repeat_(new QTimer(this)) {
  abort_repeat_->setInterval(kAbortRepeatMilliseconds);
  connect(abort_repeat_, &QTimer::timeout, this, &RequestQueue::AbortCancelledRunning);
  worker_ = std::thread([this] { RunWorker(); });
}

RequestQueue::~RequestQueue() {
  {
    std::unique_lock lock(mutex_);
    stopping_ = true;
    jobs_.clear();
    if (running_ != 0) running_cancelled_ = true;
  }
  wake_.notify_all();
  // The running request ends soon once aborted; the abort is repeated until it has.
  for (;;) {
    std::unique_lock lock(mutex_);
    if (running_ == 0) break;
    if (abort_) abort_();
    wake_.wait_for(lock, std::chrono::milliseconds(kAbortRepeatMilliseconds), [this] { return running_ == 0; });
  }
  worker_.join();
}

RequestQueue::Id RequestQueue::Submit(Work work, Done done) {
  const Id id = next_id_++;
  pending_.emplace(id, std::move(done));
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(Job{id, std::move(work)});
  }
  wake_.notify_all();
  return id;
}

void RequestQueue::Cancel(Id id) {
  if (pending_.erase(id) == 0) return;
  std::lock_guard lock(mutex_);
  jobs_.erase(std::remove_if(jobs_.begin(), jobs_.end(), [id](const Job& job) { return job.id == id; }), jobs_.end());
  if (running_ == id) {
    running_cancelled_ = true;
    if (abort_) abort_();
    abort_repeat_->start();
  }
}

void RequestQueue::AbortCancelledRunning() {
  std::lock_guard lock(mutex_);
  if (running_ == 0 || !running_cancelled_) {
    abort_repeat_->stop();
    return;
  }
  if (abort_) abort_();
}

void RequestQueue::RunWorker() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
      running_ = job.id;
      running_cancelled_ = false;
    }
    std::exception_ptr error;
    try {
      job.work();
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      running_ = 0;
      running_cancelled_ = false;
    }
    wake_.notify_all();
    // Posted to this object: when the queue is gone before the event loop delivers it, the
    // report goes with it.
    QMetaObject::invokeMethod(
        this, [this, id = job.id, error] { Report(id, error); }, Qt::QueuedConnection);
  }
}

void RequestQueue::Report(Id id, std::exception_ptr error) {
  const auto found = pending_.find(id);
  if (found == pending_.end()) return;  // cancelled: its outcome is dropped
  Done done = std::move(found->second);
  pending_.erase(found);
  if (done) done(error);
}

}  // namespace orvelle
