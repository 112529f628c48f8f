#pragma once
// A timer on the hidden window (the poll timer unless told otherwise): SetTimer while enabled,
// KillTimer while not.
#include <windows.h>

#include "app/main_window.h"
#include "platform/poll_timer.h"

namespace murmuro::app {

inline constexpr UINT kPollIntervalMs = 1000;

class Win32PollTimer final : public platform::PollTimer {
 public:
  explicit Win32PollTimer(UINT_PTR id = kPollTimerId, UINT intervalMs = kPollIntervalMs) noexcept
      : id_(id), intervalMs_(intervalMs) {}
  void Attach(HWND window) noexcept { window_ = window; }
  void SetEnabled(bool enabled) override {
    if (!window_) return;
    if (enabled && !enabled_) SetTimer(window_, id_, intervalMs_, nullptr);
    if (!enabled && enabled_) KillTimer(window_, id_);
    enabled_ = enabled;
  }
  bool Enabled() const override { return enabled_; }

 private:
  UINT_PTR id_;
  UINT intervalMs_;
  HWND window_ = nullptr;
  bool enabled_ = false;
};

}  // namespace murmuro::app
