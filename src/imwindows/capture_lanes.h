#pragma once
// Captures through one lane per IM client thread: a thread of ours that makes every call into
// that client, document requests, reads and the release of what it keeps, one at a time. So two
// calls of ours never meet in one client, and everything a lane took is let go on its thread.
//
// Who waits for whom: nobody on the calling (UI) thread waits for a lane. It queues a capture
// and goes on; the lane reads when the client answers, however long that takes, puts the result
// in the outbox and wakes the UI thread, which takes the results when it gets to them. A lane
// waits for its client only, and for its next job. Only the end waits for the lanes, at most
// about a second for all of them together, and gives up a lane still stuck in a call.
//
// A lane works through its captures in the order they were queued, and a view has at most one
// capture queued or running, so every view of a slow client is read in turn.
//
// A lane whose client has no view left ends; a view of that client found before the lane took
// its end withdraws it. One found later gets a new lane at once, while the old one finishes
// letting go of the closed views' references: those belong to documents nobody asks for again,
// the client serialises our calls on its own thread, and the two lanes share nothing of ours.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "imwindows/capture.h"

namespace murmuro {

// What one lane does for its client. Made, used and destroyed on the lane's thread only.
class LaneWork {
 public:
  // Lets go of everything still kept.
  virtual ~LaneWork() = default;
  // `read`: in full, not only a probe.
  virtual IMTextResult Capture(Hwnd view, bool read) = 0;
  // Lets go of what the view kept; its window has gone.
  virtual void Release(Hwnd view) = 0;
};

struct CaptureLaneLimits {
  // How long the end waits, all lanes together, for them to let go of what they hold.
  std::chrono::milliseconds exitWait{1000};
};

class CaptureLanes final : public Captures {
 public:
  // Runs on the lane's thread, first thing.
  using WorkFactory = std::function<std::unique_ptr<LaneWork>()>;
  // Wraps a lane thread's whole life; the Windows side enters the multithreaded apartment.
  using ThreadScope = std::function<void(const std::function<void()>& run)>;
  // Called on a lane's thread when results wait and none did before; must not wait. The Windows
  // side posts a message that carries nothing: one to a window that has gone is simply lost.
  using Wake = std::function<void()>;

  using Limits = CaptureLaneLimits;

  // `windows` is used on the calling thread only, to tell whether a view lives. `switchedOn` is
  // read by a lane just before each capture, and its value comes back with the result.
  CaptureLanes(platform::WindowSystem& windows, std::shared_ptr<const SwitchCount> switchedOn, WorkFactory work,
               ThreadScope scope, Limits limits = {});
  // End() unless it has run.
  ~CaptureLanes() override;
  CaptureLanes(const CaptureLanes&) = delete;
  CaptureLanes& operator=(const CaptureLanes&) = delete;

  // Before the first request.
  void SetWake(Wake wake);
  bool Request(const ViewId& view, bool read) override;
  FinishedCaptures TakeFinished() override;
  void ReleaseGone() override;
  // The program ends: captures still queued are dropped, no lane wakes anybody any more, and
  // each lane lets go of what it holds. A lane stuck in a call is not waited for: it lets go
  // when the call returns, if the process still runs then.
  void End() noexcept;

  // Lanes whose thread has not been seen to end, those of no client any more included.
  std::size_t Lanes() const { return lanes_.size() + retiring_.size(); }
  // The end gave up a lane still stuck in a call: the process must not wait for it on its way
  // out, nor run code that may need a lock it holds.
  bool GaveUpALane() const noexcept { return gaveUp_; }

 private:
  struct Lane;
  struct Outbox;
  // A client thread: thread ids are reused, so its process comes with it.
  using Client = std::pair<std::uint32_t, std::uint32_t>;

  std::shared_ptr<Lane> Start();
  // The client's lane, to queue a capture on: a new one when it has none, or its lane is ending.
  Lane& LaneFor(const Client& client);

  platform::WindowSystem& windows_;
  std::shared_ptr<const SwitchCount> switchedOn_;
  WorkFactory work_;
  ThreadScope scope_;
  Limits limits_;
  std::shared_ptr<Outbox> outbox_;
  std::map<Client, std::shared_ptr<Lane>> lanes_;
  std::vector<std::shared_ptr<Lane>> retiring_;  // ended lanes still letting go, joined once done
  std::set<ViewId> out_;  // views with a capture queued or running
  bool ended_ = false;
  bool gaveUp_ = false;
};

// The lane work of the program: captures through the view's document, keeping each view's
// document, body and probe from one capture to the next, over platform objects of the lane's own.
class DocumentLaneWork final : public LaneWork {
 public:
  DocumentLaneWork(std::unique_ptr<platform::WindowSystem> windows,
                   std::unique_ptr<platform::DocumentSource> documents)
      : windows_(std::move(windows)), documents_(std::move(documents)) {}
  IMTextResult Capture(Hwnd view, bool read) override {
    return CaptureView({*windows_, *documents_}, view, kept_, read, std::chrono::steady_clock::now());
  }
  void Release(Hwnd view) override { kept_.Release(view); }

 private:
  std::unique_ptr<platform::WindowSystem> windows_;
  std::unique_ptr<platform::DocumentSource> documents_;
  KeptDocuments kept_;  // declared last: let go before the objects it came through
};

}  // namespace murmuro
