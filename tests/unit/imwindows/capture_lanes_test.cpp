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
// kept. Calls for the views a test holds wait until released, as a client that stopped
// answering half-way. It counts calls that overlap in one client, and calls to a client from
// another thread than its first.
class Clients {
 public:
  void Make(const std::string& what, Hwnd view) {
    std::unique_lock lock(mutex_);
    const std::uint32_t client = clientOf.at(view);
    ++calls_[{what, view}];
    if (what == "capture") order_[client].push_back(view);
    const auto thread = threadOf_.emplace(client, std::this_thread::get_id()).first;
    strays += thread->second != std::this_thread::get_id() ? 1 : 0;
    overlaps += inFlight_[client]++ > 0 ? 1 : 0;
    released_.wait(lock, [&] { return held_.count(view) == 0; });
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

  std::vector<Hwnd> Order(std::uint32_t client) {
    const std::lock_guard lock(mutex_);
    return order_[client];
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
  std::map<std::uint32_t, std::vector<Hwnd>> order_;  // captures, in the order each client got them
};

// A lane's work as the program's: a capture keeps a reference for its view and lets the earlier
// one go; Release and the end let go of the rest. Every one of them is a call into the client.
class RecordingWork final : public LaneWork {
 public:
  explicit RecordingWork(std::shared_ptr<Clients> clients) : clients_(std::move(clients)) {}
  ~RecordingWork() override {
    for (const Hwnd view : kept_) clients_->Make("release", view);
  }
  IMTextResult Capture(Hwnd view, bool) override {
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
    lanes->SetWake([this] { ++wakes; });
  }
  ~CaptureLanesTest() override {
    for (const Hwnd view : {a1, a2, b1, c1}) clients->Hold(view, false);
    ShutGate(false);
  }
  void ShutGate(bool shut) {
    {
      const std::lock_guard lock(gateMutex);
      gateShut = shut;
    }
    gateChanged.notify_all();
  }

  ViewId Id(Hwnd view) {
    ViewId id{view, 0, 0};
    id.thread = desktop.GetWindowThreadProcessId(view, &id.process);
    return id;
  }
  bool Request(Hwnd view) { return lanes->Request(Id(view), false); }
  // Waits for the results of `views`, in the order they come; results of others are kept.
  std::vector<Hwnd> Collect(std::set<Hwnd> views) {
    std::vector<Hwnd> order;
    for (int i = 0; i < 2500 && !views.empty(); ++i) {
      for (FinishedCapture& done : lanes->TakeFinished()) {
        EXPECT_EQ(done.tag, tagOf.count(done.view.hwnd) ? tagOf[done.view.hwnd] : 7u)
            << "the reading switch as the read began";
        EXPECT_EQ(done.result.Text, TextOf(done.view.hwnd));
        order.push_back(done.view.hwnd);
        views.erase(done.view.hwnd);
      }
      if (!views.empty()) std::this_thread::sleep_for(2ms);
    }
    EXPECT_TRUE(views.empty()) << "results that never came";
    return order;
  }

  fakes::FakeDesktop desktop;
  Hwnd a1 = 0, a2 = 0, b1 = 0, c1 = 0;  // a: thread 1 of process 100; b: thread 1 of 200; c: thread 2 of 100
  std::shared_ptr<Clients> clients = std::make_shared<Clients>();
  std::map<Hwnd, std::uint32_t> tagOf;
  std::atomic<int> scopes{0};
  std::atomic<int> wakes{0};
  // Lanes that have let go of everything wait here, before leaving their scope, while it is shut.
  std::mutex gateMutex;
  std::condition_variable gateChanged;
  bool gateShut = false;
  int atGate = 0;
  std::shared_ptr<SwitchCount> switchedOn = std::make_shared<SwitchCount>(7);
  std::optional<CaptureLanes> lanes{std::in_place, desktop, switchedOn,
                                    [clients = clients] { return std::make_unique<RecordingWork>(clients); },
                                    [this](const std::function<void()>& run) {
                                      ++scopes;
                                      run();
                                      std::unique_lock lock(gateMutex);
                                      ++atGate;
                                      gateChanged.notify_all();
                                      gateChanged.wait(lock, [this] { return !gateShut; });
                                    },
                                    CaptureLanes::Limits{1000ms}};
};

// The calling thread never waits: a client that stops answering holds up only its own lane, a
// view has one capture out at most, and the views of a slow client are read in turn.
TEST_F(CaptureLanesTest, NobodyWaitsForAStalledClientAndItsViewsAreReadInTurn) {
  clients->Hold(a1);
  for (const Hwnd view : {a1, a2, b1, c1}) EXPECT_TRUE(Request(view)) << "handed out at once";
  EXPECT_FALSE(Request(a1)) << "its capture is still out";
  EXPECT_FALSE(Request(a2)) << "queued behind the one its client has not answered";
  EXPECT_EQ(Collect({b1, c1}).size(), 2u) << "other clients, also another thread of the same process";
  EXPECT_GE(wakes, 1);
  EXPECT_EQ(clients->Count("capture", a2), 0);

  clients->Hold(a2);
  clients->Hold(a1, false);
  EXPECT_EQ(Collect({a1}), std::vector<Hwnd>{a1});
  EXPECT_TRUE(Request(a1)) << "back, so asked again: after a2, which waits already";
  // Reading switched on while a1 waits its turn: judged by the switch as its read begins.
  switchedOn->store(8);
  tagOf = {{a2, 7u}, {a1, 8u}};
  clients->Hold(a2, false);
  EXPECT_EQ(Collect({a1, a2}), (std::vector<Hwnd>{a2, a1}));
  EXPECT_EQ(clients->Order(100 * 10 + 1), (std::vector<Hwnd>{a1, a2, a1}));
}

// By construction, not by timing: each client thread has a lane of its own, and across views
// whose windows go and the program's end, one client never has two calls of ours at once, and
// each client's calls, releases included, come from one thread.
TEST_F(CaptureLanesTest, CallsIntoOneClientNeverOverlapAndEveryReferenceIsLetGo) {
  for (const Hwnd view : {a1, a2, b1, c1}) EXPECT_TRUE(Request(view));
  Collect({a1, a2, b1, c1});
  EXPECT_TRUE(Request(a1));
  Collect({a1});
  EXPECT_EQ(lanes->Lanes(), 3u) << "thread ids are told apart by their process";
  EXPECT_EQ(scopes, 3) << "a lane's scope wraps its whole life";
  EXPECT_EQ(clients->Count("release", a1), 1) << "the earlier reference goes once the new one is held";
  clients->Hold(a2);
  EXPECT_TRUE(Request(a2));
  EXPECT_TRUE(Request(a1)) << "queued behind a2";

  desktop.Destroy(b1);
  lanes->ReleaseGone();
  EXPECT_TRUE(clients->WaitFor("release", b1));
  for (int i = 0; i < 2500 && lanes->Lanes() == 3; ++i) {
    std::this_thread::sleep_for(2ms);
    lanes->ReleaseGone();
  }
  EXPECT_EQ(lanes->Lanes(), 2u) << "a lane with nothing left ends";

  const int woken = wakes;
  lanes->End();  // the program ends with a2 still stuck and a1 queued behind it
  EXPECT_TRUE(lanes->GaveUpALane()) << "told, so the process ends without running into it";
  EXPECT_EQ(clients->Count("release", c1), 1) << "let go of before the end returns";
  EXPECT_FALSE(Request(c1)) << "nothing is handed out after the end";
  clients->Hold(a2, false);
  EXPECT_TRUE(clients->WaitFor("release", a2)) << "a stuck lane lets go once its call returns";
  EXPECT_EQ(clients->Count("capture", a1), 2) << "what was queued is dropped";
  EXPECT_EQ(wakes, woken) << "a lane given up at the end calls nobody";
  EXPECT_TRUE(lanes->TakeFinished().empty());
  EXPECT_EQ(clients->overlaps, 0);
  EXPECT_EQ(clients->strays, 0);
}

// A client that closes its only conversation and opens another on the same thread: the new
// view's capture goes out at once, whether the lane had begun to end or not.
TEST_F(CaptureLanesTest, ANewViewOfAClientWhoseLaneIsEndingIsNotRefused) {
  // The lane is still busy when its end is queued: the end is taken back.
  clients->Hold(a1);
  EXPECT_TRUE(Request(a1));
  desktop.Destroy(a1);
  lanes->ReleaseGone();
  EXPECT_TRUE(Request(a2));
  clients->Hold(a1, false);
  Collect({a1, a2});
  EXPECT_EQ(clients->Count("release", a1), 1);
  EXPECT_EQ(scopes, 1) << "the same lane goes on";

  // The lane has taken its end: a new one starts, and the old one is joined once it has left.
  ShutGate(true);
  desktop.Destroy(a2);
  lanes->ReleaseGone();
  for (int i = 0; i < 2500 && atGate == 0; ++i) std::this_thread::sleep_for(2ms);
  ASSERT_EQ(atGate, 1) << "the lane let go of everything";
  EXPECT_EQ(clients->Count("release", a2), 1);
  const Hwnd window = desktop.Create(0, "IM with someone");
  desktop.SetOwner(window, 1, 100);
  const Hwnd a3 = desktop.Create(window, "", "Internet Explorer_Server");
  clients->clientOf[a3] = 100 * 10 + 1;
  EXPECT_TRUE(Request(a3));
  Collect({a3});
  EXPECT_EQ(lanes->Lanes(), 2u);
  ShutGate(false);
  for (int i = 0; i < 2500 && lanes->Lanes() == 2; ++i) {
    std::this_thread::sleep_for(2ms);
    lanes->ReleaseGone();
  }
  EXPECT_EQ(lanes->Lanes(), 1u) << "the old lane is joined";
  EXPECT_EQ(clients->overlaps, 0);
}

}  // namespace
}  // namespace murmuro
