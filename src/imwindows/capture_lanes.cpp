#include "imwindows/capture_lanes.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

namespace murmuro {
namespace {

IMTextResult NotFound() {
  IMTextResult result;
  result.Text = Text(kWindowNotFound);
  return result;
}

IMTextResult Skipped() {
  IMTextResult result;
  result.Skipped = true;
  return result;
}

}  // namespace

// One client's lane. The thread takes jobs in order; the calling thread waits for its captures.
struct CaptureLanes::Lane {
  enum class Kind { kCapture, kRelease, kEnd };
  struct Job {
    Kind kind = Kind::kEnd;
    Hwnd view = 0;
    std::uint64_t id = 0;
  };

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Job> jobs;
  std::uint64_t nextId = 1;
  std::uint64_t waited = 0;     // the capture the caller waits for
  std::optional<IMTextResult> result;
  std::uint64_t abandoned = 0;  // a capture the caller gave up on; the client still has it
  std::optional<std::pair<Hwnd, IMTextResult>> late;  // what it brought back at last
  bool ended = false;
  std::thread thread;

  // The calling thread's alone: views captured here whose window was not seen gone, and
  // whether the lane has been told to end.
  std::set<Hwnd> views;
  bool ending = false;

  void Queue(Kind kind, Hwnd view = 0) {
    jobs.push_back({kind, view, nextId++});
    changed.notify_all();
  }

  void Run(const WorkFactory& factory) noexcept {
    std::unique_ptr<LaneWork> work;
    try {
      work = factory();
    } catch (...) {
      // No work to be had: every capture fails, and there is nothing to let go of.
    }
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !jobs.empty(); });
        job = jobs.front();
        jobs.pop_front();
      }
      if (job.kind == Kind::kEnd) break;
      if (job.kind == Kind::kRelease) {
        try {
          if (work) work->Release(job.view);
        } catch (...) {
        }
        continue;
      }
      std::optional<IMTextResult> captured;
      try {
        captured = work ? work->Capture(job.view) : NotFound();
      } catch (...) {
        captured.reset();
      }
      const std::lock_guard lock(mutex);
      try {
        if (!captured) captured = NotFound();
        if (job.id == abandoned) {
          abandoned = 0;
          late.emplace(job.view, std::move(*captured));
        } else if (job.id == waited) {
          result = std::move(*captured);
        }
      } catch (...) {
        abandoned = 0;  // no memory for the text: the view is read again at its next capture
      }
      changed.notify_all();
    }
    work.reset();  // here, on this thread: the references were taken here
    Finish();
  }

  void Finish() noexcept {
    const std::lock_guard lock(mutex);
    ended = true;
    changed.notify_all();
  }
};

CaptureLanes::CaptureLanes(platform::WindowSystem& windows, WorkFactory work, ThreadScope scope, Limits limits)
    : windows_(windows), work_(std::move(work)), scope_(std::move(scope)), limits_(limits) {}

CaptureLanes::~CaptureLanes() {
  const auto until = std::chrono::steady_clock::now() + limits_.exitWait;
  for (auto& entry : lanes_) {
    Lane* lane = entry.second.get();
    const std::lock_guard lock(lane->mutex);
    if (!lane->ending) lane->Queue(Lane::Kind::kEnd);
    lane->ending = true;
  }
  for (auto& entry : lanes_) {
    Lane* lane = entry.second.get();
    std::unique_lock lock(lane->mutex);
    // A lane stuck in a call lets go of what it holds when the call returns, without us.
    const bool ended = lane->abandoned != 0
                           ? lane->ended
                           : lane->changed.wait_until(lock, until, [&] { return lane->ended; });
    lock.unlock();
    if (ended) {
      lane->thread.join();
    } else {
      lane->thread.detach();
    }
  }
}

std::shared_ptr<CaptureLanes::Lane> CaptureLanes::Start() {
  auto lane = std::make_shared<Lane>();
  // The thread owns what it uses: it may outlive this object, stuck in a call.
  lane->thread = std::thread([lane, work = work_, scope = scope_] {
    bool ran = false;
    const std::function<void()> run = [&] {
      ran = true;
      lane->Run(work);
    };
    try {
      if (scope) {
        scope(run);
      } else {
        run();
      }
    } catch (...) {
    }
    if (!ran) lane->Finish();
  });
  return lane;
}

IMTextResult CaptureLanes::Capture(Hwnd view) {
  std::uint32_t process = 0;
  const std::uint32_t thread = windows_.GetWindowThreadProcessId(view, &process);
  // Gone: there is nobody to ask.
  if (thread == 0) return NotFound();
  const Client client{thread, process};
  auto found = lanes_.find(client);
  if (found == lanes_.end()) {
    try {
      found = lanes_.emplace(client, Start()).first;
    } catch (...) {
      return Skipped();  // no thread to be had: this view waits for a later tick
    }
  }
  Lane& lane = *found->second;
  if (lane.ending) return Skipped();
  lane.views.insert(view);

  std::unique_lock lock(lane.mutex);
  if (lane.late && lane.late->first == view) {
    IMTextResult late = std::move(lane.late->second);
    lane.late.reset();
    return late;
  }
  // Its client has not answered our last call: asking again would only wait again.
  if (lane.abandoned != 0 || lane.ended) return Skipped();
  lane.Queue(Lane::Kind::kCapture, view);
  lane.waited = lane.nextId - 1;
  const bool answered = lane.changed.wait_for(lock, limits_.deadline, [&] { return lane.result.has_value(); });
  if (!answered) {
    lane.abandoned = std::exchange(lane.waited, 0);
    return Skipped();
  }
  lane.waited = 0;
  IMTextResult result = std::move(*lane.result);
  lane.result.reset();
  return result;
}

void CaptureLanes::ReleaseGone() {
  for (auto it = lanes_.begin(); it != lanes_.end();) {
    Lane& lane = *it->second;
    std::vector<Hwnd> gone;
    if (!lane.ending) {
      for (const Hwnd view : lane.views) {
        if (!windows_.IsWindow(view)) gone.push_back(view);
      }
    }
    bool ended = false;
    {
      const std::lock_guard lock(lane.mutex);
      for (const Hwnd view : gone) {
        lane.Queue(Lane::Kind::kRelease, view);
        if (lane.late && lane.late->first == view) lane.late.reset();
        lane.views.erase(view);
      }
      // Nothing of this client is left to read or to let go of.
      if (!lane.ending && lane.views.empty()) {
        lane.Queue(Lane::Kind::kEnd);
        lane.ending = true;
      }
      ended = lane.ended;
    }
    if (ended) {
      lane.thread.join();
      it = lanes_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace murmuro
