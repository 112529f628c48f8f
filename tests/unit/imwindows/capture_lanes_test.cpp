#include "imwindows/capture_lanes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <thread>
#include <vector>

#include "fakes/fake_desktop.h"

namespace murmuro {
namespace {

using namespace std::chrono_literals;

Text TextOf(Hwnd view) { return u"text of " + Latin1ToText(std::to_string(view)); }

// The clients' side of every call a lane makes: captures, and the release of what a capture
// kept. Captures of the views a test holds wait until released, as a client that stopped
// answering half-way. It counts calls that overlap in one client, and calls to a client from
// another thread than its first.
class Clients {
 public:
  void Make(const std::string& what, Hwnd view) {
    std::unique_lock lock(mutex_);
    const std::uint32_t client = clientOf.at(view);
    ++calls_[{what, view}];
    const auto thread = threadOf_.emplace(client, std::this_thread::get_id()).first;
    strays += thread->second != std::this_thread::get_id() ? 1 : 0;
    overlaps += inFlight_[client]++ > 0 ? 1 : 0;
    released_.wait(lock, [&] { return what != "capture" || held_.count(view) == 0; });
    --inFlight_[client];
  }
  void Hold(Hwnd view, bool hold = true) {
    {
      const std::lock_guard lock(mutex_);
      if (hold) {
        held_.insert(view);
      } else {
        held_.erase(view);
      }
    }
    released_.notify_all();
  }
  int Count(const std::string& what, Hwnd view) {
    const std::lock_guard lock(mutex_);
    return calls_[{what, view}];
  }
  // Polls for a call that a lane makes on its own, after the test has let a client go.
  bool WaitFor(const std::string& what, Hwnd view) {
    for (int i = 0; i < 2500 && Count(what, view) == 0; ++i) std::this_thread::sleep_for(2ms);
    return Count(what, view) > 0;
  }

  std::map<Hwnd, std::uint32_t> clientOf;  // filled before any lane starts
  int strays = 0, overlaps = 0;

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  std::set<Hwnd> held_;
  std::map<std::pair<std::string, Hwnd>, int> calls_;
  std::map<std::uint32_t, std::thread::id> threadOf_;
  std::map<std::uint32_t, int> inFlight_;
};

// A lane's work as the program's: a capture keeps a reference for its view and lets the earlier
// one go; Release and the end let go of the rest. Every one of them is a call into the client.
class RecordingWork final : public LaneWork {
 public:
  explicit RecordingWork(std::shared_ptr<Clients> clients) : clients_(std::move(clients)) {}
  ~RecordingWork() override {
    for (const Hwnd view : kept_) clients_->Make("release", view);
  }
  IMTextResult Capture(Hwnd view) override {
    clients_->Make("capture", view);
    if (!kept_.insert(view).second) clients_->Make("release", view);
    IMTextResult result;
    result.Text = TextOf(view);
    return result;
  }
  void Release(Hwnd view) override {
    if (kept_.erase(view) != 0) clients_->Make("release", view);
  }

 private:
  std::shared_ptr<Clients> clients_;
  std::set<Hwnd> kept_;
};

class CaptureLanesTest : public ::testing::Test {
 protected:
  CaptureLanesTest() {
    for (auto [view, thread, process] : {std::tuple{&a1, 1u, 100u}, {&a2, 1u, 100u}, {&b1, 1u, 200u}, {&c1, 2u, 100u}}) {
      const Hwnd window = desktop.Create(0, "IM with someone");
      desktop.SetOwner(window, thread, process);
      *view = desktop.Create(window, "", "Internet Explorer_Server");
      clients->clientOf[*view] = process * 10 + thread;
    }
  }
  ~CaptureLanesTest() override {
    for (const Hwnd view : {a1, a2, b1, c1}) clients->Hold(view, false);
  }

  fakes::FakeDesktop desktop;
  Hwnd a1 = 0, a2 = 0, b1 = 0, c1 = 0;  // a: thread 1 of process 100; b: thread 1 of 200; c: thread 2 of 100
  std::shared_ptr<Clients> clients = std::make_shared<Clients>();
  std::atomic<int> scopes{0};
  std::optional<CaptureLanes> lanes{std::in_place, desktop,
                                    [clients = clients] { return std::make_unique<RecordingWork>(clients); },
                                    [this](const std::function<void()>& run) {
                                      ++scopes;
                                      run();
                                    },
                                    CaptureLanes::Limits{300ms, 1000ms}};
};

// A client that stops answering costs one deadline; its other views are skipped without a call
// until it answers, and what the late capture read is handed over by its view's next capture.
TEST_F(CaptureLanesTest, AStalledClientCostsOneWaitAndItsLateTextIsHandedOver) {
  clients->Hold(a1);
  EXPECT_TRUE(lanes->Capture(a1).Skipped) << "abandoned at the deadline";
  EXPECT_TRUE(lanes->Capture(a2).Skipped) << "the same client: skipped without waiting";
  EXPECT_TRUE(lanes->Capture(a1).Skipped);
  EXPECT_EQ(clients->Count("capture", a2), 0);
  EXPECT_EQ(lanes->Capture(b1).Text, TextOf(b1)) << "other clients are read as usual";
  EXPECT_EQ(lanes->Capture(c1).Text, TextOf(c1)) << "also another thread of the same process";

  clients->Hold(a1, false);
  IMTextResult late = lanes->Capture(a1);
  for (int i = 0; i < 2500 && late.Skipped; ++i) {
    std::this_thread::sleep_for(2ms);
    late = lanes->Capture(a1);
  }
  EXPECT_EQ(late.Text, TextOf(a1));
  EXPECT_EQ(clients->Count("capture", a1), 1) << "the late capture's text, not a new one";
  EXPECT_EQ(lanes->Capture(a2).Text, TextOf(a2)) << "the lane is back at work";
  EXPECT_EQ(lanes->Capture(a1).Text, TextOf(a1));
  EXPECT_EQ(clients->Count("capture", a1), 2);
}

// By construction, not by timing: each client thread has a lane of its own, and across a missed
// deadline, views whose windows go, and the program's end, one client never has two calls of
// ours at once, and each client's calls, releases included, come from one thread.
TEST_F(CaptureLanesTest, CallsIntoOneClientNeverOverlapAndEveryReferenceIsLetGo) {
  for (const Hwnd view : {a1, a2, b1, c1, a1}) EXPECT_EQ(lanes->Capture(view).Text, TextOf(view));
  EXPECT_EQ(lanes->Lanes(), 3u) << "thread ids are told apart by their process";
  EXPECT_EQ(scopes, 3) << "a lane's scope wraps its whole life";
  EXPECT_EQ(clients->Count("release", a1), 1) << "the earlier reference goes once the new one is held";
  clients->Hold(a2);
  EXPECT_TRUE(lanes->Capture(a2).Skipped);

  desktop.Destroy(a1);
  desktop.Destroy(b1);
  EXPECT_EQ(lanes->Capture(a1).Text, kWindowNotFound) << "gone: nothing is asked";
  EXPECT_EQ(clients->Count("capture", a1), 2);
  lanes->ReleaseGone();
  EXPECT_TRUE(clients->WaitFor("release", b1));
  EXPECT_EQ(clients->Count("release", a1), 1) << "queued behind the call its client has not answered";
  for (int i = 0; i < 2500 && lanes->Lanes() == 3; ++i) {
    std::this_thread::sleep_for(2ms);
    lanes->ReleaseGone();
  }
  EXPECT_EQ(lanes->Lanes(), 2u) << "a lane with nothing left ends";

  lanes.reset();  // the program ends with a still stuck
  EXPECT_EQ(clients->Count("release", c1), 1) << "let go of before exit returns";
  EXPECT_EQ(clients->Count("release", a2), 0);
  clients->Hold(a2, false);
  EXPECT_TRUE(clients->WaitFor("release", a2)) << "a stuck lane lets go once its call returns";
  EXPECT_EQ(clients->Count("release", a1), 2);
  EXPECT_EQ(clients->overlaps, 0);
  EXPECT_EQ(clients->strays, 0);
}

}  // namespace
}  // namespace murmuro
