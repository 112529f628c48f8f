#pragma once
// Handlers, the scan and the poll tick skip a failing step and go on with the next one.
// A step fails by throwing; the runner swallows it and counts it, so the skipping is explicit.
#include <exception>
#include <utility>

namespace murmuro {

class ResumeNext {
 public:
  // Runs one step; returns false when it failed and was skipped.
  template <class Step>
  bool operator()(Step&& step) noexcept {
    try {
      std::forward<Step>(step)();
      return true;
    } catch (...) {
      ++skipped_;
      return false;
    }
  }
  int Skipped() const noexcept { return skipped_; }

 private:
  int skipped_ = 0;
};

}  // namespace murmuro
