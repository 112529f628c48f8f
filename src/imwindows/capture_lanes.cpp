#include "imwindows/capture_lanes.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace murmuro {
namespace {

IMTextResult NotFound() {
  IMTextResult result;
  result.Text = Text(kWindowNotFound);
  return result;
}

}  // namespace

// Where the lanes leave their results for the calling thread. Shared with the lane threads, so a
// lane that is given up at the end never reaches into anything else of the program.
struct CaptureLanes::Outbox {
  std::mutex mutex;
  FinishedCaptures done;
  Wake wake;
  bool woken = false;   // a wake-up went out that nobody has answered by taking the results
  bool closed = false;  // the program is ending: results are dropped and nobody is woken

  // Takes the result's node as it is: nothing here can fail for want of memory.
  void Put(FinishedCaptures& finished) noexcept {
    const std::lock_guard lock(mutex);
    if (closed) return;
    done.splice(done.end(), finished);
    if (woken || !wake) return;
    woken = true;
    try {
      wake();
    } catch (...) {
      woken = false;  // the next result tries again; the next tick takes them anyway
    }
  }
};

// One client's lane. Its thread takes jobs in order.
struct CaptureLanes::Lane {
  enum class Kind { kCapture, kRelease, kEnd };
  struct Job {
    Kind kind = Kind::kEnd;
    Hwnd view = 0;
    bool read = false;
    FinishedCaptures result;  // made with the request, so handing it over never allocates
  };

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Job> jobs;
  bool ended = false;
  std::thread thread;

  // The calling thread's alone: views captured here whose window was not seen gone, and
  // whether the lane has been told to end.
  std::set<Hwnd> views;
  bool ending = false;

  ~Lane() {
    // Only a lane whose thread could not be handed to the lane list gets here unjoined.
    if (thread.joinable()) thread.detach();
  }

  void Queue(Job job) {
    jobs.push_back(std::move(job));
    changed.notify_all();
  }

  // Takes its end back unless it has begun on it; the calling thread's.
  bool WithdrawEnd() {
    const std::lock_guard lock(mutex);
    if (jobs.empty() || jobs.back().kind != Kind::kEnd) return false;
    jobs.pop_back();
    ending = false;
    return true;
  }

  bool Ended() {
    const std::lock_guard lock(mutex);
    return ended;
  }

  void Run(const WorkFactory& factory, Outbox& outbox, const SwitchCount& switchedOn) noexcept {
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
        job = std::move(jobs.front());
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
      FinishedCapture& finished = job.result.front();
      // Judged by the switch as it stands now, when the client is about to be read.
      finished.tag = switchedOn.load();
      IMTextResult& result = finished.result;
      try {
        result = work ? work->Capture(job.view, job.read) : NotFound();
      } catch (...) {
        result = IMTextResult{};
        result.Text.assign(kWindowNotFound.begin(), kWindowNotFound.end());
      }
      outbox.Put(job.result);
    }
    work.reset();  // here, on this thread: the references were taken here
  }

  void Finish() noexcept {
    const std::lock_guard lock(mutex);
    ended = true;
    changed.notify_all();
  }
};

CaptureLanes::CaptureLanes(platform::WindowSystem& windows, std::shared_ptr<const SwitchCount> switchedOn,
                           WorkFactory work, ThreadScope scope, Limits limits)
    : windows_(windows),
      switchedOn_(std::move(switchedOn)),
      work_(std::move(work)),
      scope_(std::move(scope)),
      limits_(limits),
      outbox_(std::make_shared<Outbox>()) {}

CaptureLanes::~CaptureLanes() { End(); }

void CaptureLanes::SetWake(Wake wake) {
  const std::lock_guard lock(outbox_->mutex);
  outbox_->wake = std::move(wake);
}

void CaptureLanes::End() noexcept {
  if (ended_) return;
  ended_ = true;
  {
    const std::lock_guard lock(outbox_->mutex);
    outbox_->closed = true;
    outbox_->done.clear();
  }
  const auto until = std::chrono::steady_clock::now() + limits_.exitWait;
  const auto eachLane = [this](const auto& act) {
    for (auto& entry : lanes_) act(*entry.second);
    for (auto& retired : retiring_) act(*retired);
  };
  eachLane([](Lane& lane) {
    const std::lock_guard lock(lane.mutex);
    // What is still queued is of no use now; the end lets go of everything the lane kept.
    lane.jobs.clear();
    lane.jobs.emplace_back();
    lane.changed.notify_all();
    lane.ending = true;
  });
  eachLane([this, until](Lane& lane) {
    std::unique_lock lock(lane.mutex);
    const bool ended = lane.changed.wait_until(lock, until, [&] { return lane.ended; });
    lock.unlock();
    // One still stuck in a call ends by itself when the call returns, without us.
    if (ended) {
      lane.thread.join();
    } else {
      lane.thread.detach();
      gaveUp_ = true;
    }
  });
  lanes_.clear();
  retiring_.clear();
  out_.clear();
}

std::shared_ptr<CaptureLanes::Lane> CaptureLanes::Start() {
  auto lane = std::make_shared<Lane>();
  // The thread owns what it uses: it may outlive this object, stuck in a call.
  lane->thread = std::thread([lane, outbox = outbox_, switchedOn = switchedOn_, work = work_, scope = scope_] {
    const std::function<void()> run = [&] { lane->Run(work, *outbox, *switchedOn); };
    try {
      if (scope) {
        scope(run);
      } else {
        run();
      }
    } catch (...) {
    }
    // Once its scope has been left too: whoever joins it then waits for nothing more.
    lane->Finish();
  });
  return lane;
}

CaptureLanes::Lane& CaptureLanes::LaneFor(const Client& client) {
  auto found = lanes_.find(client);
  if (found != lanes_.end() && (!found->second->ending || found->second->WithdrawEnd())) return *found->second;
  // Started before it is listed, so a failure leaves the lanes as they were.
  const std::shared_ptr<Lane> started = Start();
  try {
    if (found == lanes_.end()) {
      found = lanes_.emplace(client, started).first;
    } else {
      retiring_.push_back(found->second);
      found->second = started;
    }
  } catch (...) {
    const std::lock_guard lock(started->mutex);
    started->jobs.emplace_back();  // its end: nothing else was queued
    started->changed.notify_all();
    throw;
  }
  return *started;
}

bool CaptureLanes::Request(const ViewId& view, bool read) {
  // Gone when listed, or its capture still out: nothing to do until that one is back.
  if (ended_ || view.thread == 0 || out_.count(view) != 0) return false;
  Lane& lane = LaneFor({view.thread, view.process});

  Lane::Job job{Lane::Kind::kCapture, view.hwnd, read, {}};
  job.result.push_back({view, 0, {}});
  lane.views.insert(view.hwnd);
  const auto marked = out_.insert(view).first;
  try {
    const std::lock_guard lock(lane.mutex);
    lane.Queue(std::move(job));
  } catch (...) {
    out_.erase(marked);
    throw;
  }
  return true;
}

FinishedCaptures CaptureLanes::TakeFinished() {
  FinishedCaptures finished;
  {
    const std::lock_guard lock(outbox_->mutex);
    finished.swap(outbox_->done);
    outbox_->woken = false;
  }
  for (const FinishedCapture& capture : finished) out_.erase(capture.view);
  return finished;
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
        lane.Queue({Lane::Kind::kRelease, view, false, {}});
        lane.views.erase(view);
      }
      // Nothing of this client is left to read or to let go of.
      if (!lane.ending && lane.views.empty()) {
        lane.Queue({});
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
  // Never waited for: joined once they have ended by themselves.
  std::erase_if(retiring_, [](const std::shared_ptr<Lane>& lane) {
    if (!lane->Ended()) return false;
    lane->thread.join();
    return true;
  });
}

}  // namespace murmuro
