#pragma once
// The poll timer's switch, recording every SetEnabled; it can be told to fail when set to a value.
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/poll_timer.h"

namespace murmuro::fakes {

class FakeTimer final : public platform::PollTimer {
 public:
  explicit FakeTimer(bool initially = false) : enabled(initially) {}
  void SetEnabled(bool value) override {
    calls.push_back(value);
    if (failWhenSetTo == value) throw std::runtime_error("timer switch failed");
    enabled = value;
  }
  bool Enabled() const override { return enabled; }

  std::vector<bool> calls;
  bool enabled;
  std::optional<bool> failWhenSetTo;
};

}  // namespace murmuro::fakes
