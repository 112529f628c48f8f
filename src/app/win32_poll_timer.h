#pragma once
// The poll timer on the hidden window: SetTimer while enabled, KillTimer while not.
#include <windows.h>

#include "app/main_window.h"
#include "platform/poll_timer.h"

namespace murmuro::app {

inline constexpr UINT kPollIntervalMs = 1000;

class Win32PollTimer final : public platform::PollTimer {
 public:
  void Attach(HWND window) noexcept { window_ = window; }
  void SetEnabled(bool enabled) override {
    if (!window_) return;
    if (enabled && !enabled_) SetTimer(window_, kPollTimerId, kPollIntervalMs, nullptr);
    if (!enabled && enabled_) KillTimer(window_, kPollTimerId);
    enabled_ = enabled;
  }
  bool Enabled() const override { return enabled_; }

 private:
  HWND window_ = nullptr;
  bool enabled_ = false;
};

}  // namespace murmuro::app
