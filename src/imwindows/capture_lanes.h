#pragma once
// Captures through one lane per IM client thread: a thread of ours that makes every call into
// that client, document requests, reads and the release of what it keeps, one at a time. So two
// calls of ours never meet in one client, and everything a lane took is let go on its thread.
//
// The calling (UI) thread waits for a capture until a deadline and no longer. A lane that misses
// it is stuck until its call returns, and every view of that client is skipped without waiting
// meanwhile; other clients are read as usual. What the stuck capture brings back at last is
// handed over by its view's next capture, so nothing it read is lost.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "imwindows/capture.h"

namespace murmuro {

// Shorter than the document request's own time-out: a client that does not answer always ends
// in a missed deadline (its views skipped at once), never in a slow failure per view.
inline constexpr std::chrono::milliseconds kCaptureDeadline{kGetObjectTimeoutMs - 100};

// What one lane does for its client. Made, used and destroyed on the lane's thread only.
class LaneWork {
 public:
  // Lets go of everything still kept.
  virtual ~LaneWork() = default;
  virtual IMTextResult Capture(Hwnd view) = 0;
  // Lets go of what the view kept; its window has gone.
  virtual void Release(Hwnd view) = 0;
};

struct CaptureLaneLimits {
  std::chrono::milliseconds deadline = kCaptureDeadline;
  // How long exit waits, all lanes together, for them to let go of what they hold.
  std::chrono::milliseconds exitWait{1000};
};

class CaptureLanes final : public Captures {
 public:
  // Runs on the lane's thread, first thing.
  using WorkFactory = std::function<std::unique_ptr<LaneWork>()>;
  // Wraps a lane thread's whole life; the Windows side enters the multithreaded apartment.
  using ThreadScope = std::function<void(const std::function<void()>& run)>;

  using Limits = CaptureLaneLimits;

  // `windows` is used on the calling thread only: to tell a view's client and whether it lives.
  CaptureLanes(platform::WindowSystem& windows, WorkFactory work, ThreadScope scope, Limits limits = {});
  // Each lane lets go of what it holds; a lane stuck in a call is not waited for.
  ~CaptureLanes() override;
  CaptureLanes(const CaptureLanes&) = delete;
  CaptureLanes& operator=(const CaptureLanes&) = delete;

  IMTextResult Capture(Hwnd view) override;
  void ReleaseGone() override;

  // Lanes whose thread has not ended.
  std::size_t Lanes() const { return lanes_.size(); }

 private:
  struct Lane;
  // A client thread: thread ids are reused, so its process comes with it.
  using Client = std::pair<std::uint32_t, std::uint32_t>;

  std::shared_ptr<Lane> Start();

  platform::WindowSystem& windows_;
  WorkFactory work_;
  ThreadScope scope_;
  Limits limits_;
  std::map<Client, std::shared_ptr<Lane>> lanes_;
};

// The lane work of the program: captures through the view's document, keeping each view's
// document and body from one capture to the next, over platform objects of the lane's own.
class DocumentLaneWork final : public LaneWork {
 public:
  DocumentLaneWork(std::unique_ptr<platform::WindowSystem> windows,
                   std::unique_ptr<platform::DocumentSource> documents)
      : windows_(std::move(windows)), documents_(std::move(documents)) {}
  IMTextResult Capture(Hwnd view) override { return GetIMText({*windows_, *documents_}, view, &kept_); }
  void Release(Hwnd view) override { kept_.Release(view); }

 private:
  std::unique_ptr<platform::WindowSystem> windows_;
  std::unique_ptr<platform::DocumentSource> documents_;
  KeptDocuments kept_;  // declared last: let go before the objects it came through
};

}  // namespace murmuro
