#pragma once
// The poll timer's enable switch; the scan turns it off and on.
namespace murmuro::platform {

class PollTimer {
 public:
  virtual ~PollTimer() = default;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
};

}  // namespace murmuro::platform
