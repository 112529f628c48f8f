#pragma once
// Captures that never hold the calling thread for long: each runs on a worker thread, and the
// caller waits for it until a deadline and no longer. A client that stops answering half-way
// through a capture then costs one deadline; its view is skipped, without waiting, until that
// capture ends by itself. The caller pumps no messages while it waits, so its handlers still
// never interleave.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

#include "imwindows/capture.h"

namespace murmuro {

class DeadlineCaptures final : public Captures {
 public:
  // Runs on a worker thread. It may outlive this object (an abandoned capture ends when its
  // client answers), so it must own everything it uses.
  using CaptureFn = std::function<IMTextResult(Hwnd view)>;
  // Wraps a worker thread's whole life; the Windows side enters a COM apartment around `run`.
  using WorkerScope = std::function<void(const std::function<void()>& run)>;

  struct Limits {
    std::chrono::milliseconds deadline{1000};
    // Abandoned captures still running; beyond this, views that would need a new worker are
    // skipped rather than each holding a thread of its own.
    std::size_t maxAbandoned = 4;
  };

  // `lastWork` runs on a worker as this object goes (it lets go of what captures kept, from the
  // apartment that took it); it is waited for no longer than the deadline.
  DeadlineCaptures(CaptureFn capture, WorkerScope scope, Limits limits, std::function<void()> lastWork = {});
  // Never waits for an abandoned capture.
  ~DeadlineCaptures() override;
  DeadlineCaptures(const DeadlineCaptures&) = delete;
  DeadlineCaptures& operator=(const DeadlineCaptures&) = delete;

  IMTextResult Capture(Hwnd view) override;

  // Views whose capture was abandoned and has not ended yet.
  std::size_t Outstanding() const;

 private:
  struct Shared;
  struct Worker;

  std::shared_ptr<Worker> StartWorker();

  CaptureFn capture_;
  WorkerScope scope_;
  std::function<void()> lastWork_;
  Limits limits_;
  std::shared_ptr<Shared> shared_;
  std::shared_ptr<Worker> idle_;  // the worker that is free for the next capture, if any
};

}  // namespace murmuro
