#include "imwindows/deadline_captures.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>

namespace murmuro {

// What abandoned workers still report to when they end; outlives the object that made them.
struct DeadlineCaptures::Shared {
  std::mutex mutex;
  std::set<Hwnd> busy;  // by view handle, so a mark survives the rescans that rebuild the list
  std::size_t abandoned = 0;
};

// One worker thread. It takes captures one at a time until it is told to stop, or until a
// capture of its own outlives the deadline: then it clears that view's mark when it ends and
// goes away.
struct DeadlineCaptures::Worker {
  std::mutex mutex;
  std::condition_variable changed;
  std::optional<Hwnd> job;
  std::optional<IMTextResult> result;
  bool abandoned = false;
  bool stop = false;
  std::function<void()> lastWork;  // run when told to stop
  bool ended = false;
  std::thread thread;

  void Run(const DeadlineCaptures::CaptureFn& capture, const std::shared_ptr<Shared>& shared) {
    for (;;) {
      Hwnd view = 0;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stop || job.has_value(); });
        if (stop) {
          const auto last = std::move(lastWork);
          lock.unlock();
          try {
            if (last) last();
          } catch (...) {
          }
          lock.lock();
          ended = true;
          changed.notify_all();
          return;
        }
        view = *job;
      }
      IMTextResult captured;
      try {
        captured = capture(view);
      } catch (...) {
        captured.Text = Text(kWindowNotFound);
      }
      std::unique_lock lock(mutex);
      job.reset();
      if (abandoned) {
        lock.unlock();
        const std::lock_guard guard(shared->mutex);
        shared->busy.erase(view);
        --shared->abandoned;
        return;
      }
      result = std::move(captured);
      changed.notify_all();
    }
  }
};

DeadlineCaptures::DeadlineCaptures(CaptureFn capture, WorkerScope scope, Limits limits,
                                   std::function<void()> lastWork)
    : capture_(std::move(capture)),
      scope_(std::move(scope)),
      lastWork_(std::move(lastWork)),
      limits_(limits),
      shared_(std::make_shared<Shared>()) {}

DeadlineCaptures::~DeadlineCaptures() {
  if (!idle_ && lastWork_) {
    try {
      idle_ = StartWorker();
    } catch (...) {
    }
  }
  if (!idle_) return;
  std::unique_lock lock(idle_->mutex);
  idle_->stop = true;
  idle_->lastWork = std::move(lastWork_);
  idle_->changed.notify_all();
  // The last work may be a call into a client that stopped answering: the program does not
  // wait for that.
  const bool ended = idle_->changed.wait_for(lock, limits_.deadline, [&] { return idle_->ended; });
  lock.unlock();
  if (ended) {
    idle_->thread.join();
  } else {
    idle_->thread.detach();
  }
}

std::shared_ptr<DeadlineCaptures::Worker> DeadlineCaptures::StartWorker() {
  auto worker = std::make_shared<Worker>();
  // The thread owns what it uses: the worker, the shared marks and its own copy of the capture.
  worker->thread = std::thread([worker, shared = shared_, capture = capture_, scope = scope_] {
    const auto run = [&] { worker->Run(capture, shared); };
    if (scope) {
      scope(run);
    } else {
      run();
    }
  });
  return worker;
}

IMTextResult DeadlineCaptures::Capture(Hwnd view) {
  IMTextResult skipped;
  skipped.Skipped = true;
  {
    const std::lock_guard lock(shared_->mutex);
    if (shared_->busy.count(view) != 0) return skipped;
    if (!idle_ && shared_->abandoned >= limits_.maxAbandoned) return skipped;
    shared_->busy.insert(view);
  }
  if (!idle_) {
    try {
      idle_ = StartWorker();
    } catch (...) {
      // No thread to be had: this view waits for a later tick.
      const std::lock_guard lock(shared_->mutex);
      shared_->busy.erase(view);
      return skipped;
    }
  }
  Worker& worker = *idle_;
  std::unique_lock lock(worker.mutex);
  worker.job = view;
  worker.changed.notify_all();
  if (worker.changed.wait_for(lock, limits_.deadline, [&] { return worker.result.has_value(); })) {
    IMTextResult result = std::move(*worker.result);
    worker.result.reset();
    lock.unlock();
    const std::lock_guard guard(shared_->mutex);
    shared_->busy.erase(view);
    return result;
  }
  // The client stopped answering. The worker keeps the view marked until its capture ends.
  worker.abandoned = true;
  {
    // Counted before the worker can see the mark and count itself out.
    const std::lock_guard guard(shared_->mutex);
    ++shared_->abandoned;
  }
  lock.unlock();
  idle_->thread.detach();
  idle_.reset();
  return skipped;
}

std::size_t DeadlineCaptures::Outstanding() const {
  const std::lock_guard lock(shared_->mutex);
  return shared_->abandoned;
}

}  // namespace murmuro
