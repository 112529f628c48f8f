#pragma once
// Keeps the multithreaded apartment alive from start-up to exit. Without a thread in it, the
// apartment ends with the last capture thread to leave, and every proxy kept in it for a client
// is cut off at once, tearing down the client's stubs.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/win32/handles.h"

namespace murmuro::win32 {

class MultithreadedApartmentKeeper {
 public:
  MultithreadedApartmentKeeper() : thread_([this] { Hold(); }) {}
  ~MultithreadedApartmentKeeper() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  MultithreadedApartmentKeeper(const MultithreadedApartmentKeeper&) = delete;
  MultithreadedApartmentKeeper& operator=(const MultithreadedApartmentKeeper&) = delete;

 private:
  void Hold() {
    const ComApartment apartment(COINIT_MULTITHREADED);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stop_; });
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  std::thread thread_;  // last: it starts once the rest is built
};

}  // namespace murmuro::win32
