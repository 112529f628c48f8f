#include "imwindows/deadline_captures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace murmuro {
namespace {

using namespace std::chrono_literals;

// Captures that answer at once, except for the views a test holds: those wait until released,
// as a client that stopped answering half-way through.
class Client {
 public:
  IMTextResult Capture(Hwnd view) {
    std::unique_lock lock(mutex_);
    ++started_[view];
    threads_.insert(std::this_thread::get_id());
    released_.wait(lock, [&] { return held_.count(view) == 0; });
    IMTextResult result;
    result.Text = u"text of " + Text(1, static_cast<char16_t>(u'0' + view));
    return result;
  }
  void Hold(Hwnd view) {
    const std::lock_guard lock(mutex_);
    held_.insert(view);
  }
  void Release(Hwnd view) {
    {
      const std::lock_guard lock(mutex_);
      held_.erase(view);
    }
    released_.notify_all();
  }
  int Started(Hwnd view) {
    const std::lock_guard lock(mutex_);
    return started_[view];
  }
  std::size_t Threads() {
    const std::lock_guard lock(mutex_);
    return threads_.size();
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  std::set<Hwnd> held_;
  std::map<Hwnd, int> started_;
  std::set<std::thread::id> threads_;
};

class DeadlineCapturesTest : public ::testing::Test {
 protected:
  ~DeadlineCapturesTest() override {
    for (Hwnd view = 1; view < 9; ++view) client->Release(view);
  }
  // Waits for abandoned captures to end by themselves.
  bool SettlesTo(std::size_t outstanding) {
    for (int i = 0; i < 500; ++i) {
      if (captures.Outstanding() == outstanding) return true;
      std::this_thread::sleep_for(2ms);
    }
    return false;
  }

  std::shared_ptr<Client> client = std::make_shared<Client>();
  std::atomic<int> scopes{0};
  DeadlineCaptures captures{[client = client](Hwnd view) { return client->Capture(view); },
                            [this](const std::function<void()>& run) {
                              ++scopes;
                              run();
                            },
                            {500ms, 2}};
};

TEST_F(DeadlineCapturesTest, CapturesInTimeShareOneWorker) {
  for (Hwnd view : {1, 2, 1}) {
    const auto result = captures.Capture(view);
    EXPECT_FALSE(result.Skipped);
    EXPECT_EQ(result.Text, u"text of " + Text(1, static_cast<char16_t>(u'0' + view)));
  }
  EXPECT_EQ(client->Threads(), 1u);
  EXPECT_EQ(scopes, 1) << "the worker's scope wraps its whole life";

  // The last work runs on a worker, as the object goes.
  std::thread::id lastOn;
  {
    DeadlineCaptures ending{[](Hwnd) { return IMTextResult{}; }, {}, {}, [&] { lastOn = std::this_thread::get_id(); }};
  }
  EXPECT_NE(lastOn, std::thread::id());
  EXPECT_NE(lastOn, std::this_thread::get_id());
}

TEST_F(DeadlineCapturesTest, AStuckCaptureSkipsItsViewUntilItEnds) {
  client->Hold(1);
  EXPECT_TRUE(captures.Capture(1).Skipped) << "abandoned at the deadline";
  EXPECT_TRUE(captures.Capture(1).Skipped) << "skipped without waiting";
  EXPECT_EQ(client->Started(1), 1);
  EXPECT_FALSE(captures.Capture(2).Skipped) << "the other views go on, on a new worker";
  EXPECT_EQ(captures.Outstanding(), 1u);

  client->Release(1);
  ASSERT_TRUE(SettlesTo(0));
  const auto after = captures.Capture(1);
  EXPECT_FALSE(after.Skipped);
  EXPECT_EQ(after.Text, u"text of 1");
}

TEST_F(DeadlineCapturesTest, AbandonedCapturesAreLimited) {
  client->Hold(1);
  client->Hold(2);
  EXPECT_TRUE(captures.Capture(1).Skipped);
  EXPECT_TRUE(captures.Capture(2).Skipped);
  EXPECT_TRUE(captures.Capture(3).Skipped) << "no third worker while two are stuck";
  EXPECT_EQ(client->Started(3), 0);

  client->Release(1);
  ASSERT_TRUE(SettlesTo(1));
  EXPECT_FALSE(captures.Capture(3).Skipped);
  EXPECT_TRUE(captures.Capture(2).Skipped);
}

}  // namespace
}  // namespace murmuro
