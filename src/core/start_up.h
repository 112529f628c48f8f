#pragma once
// The start-up sequence: the voice, the hidden main form (which puts the icon in the tray and
// makes the first scan), then the settings. A step that fails ends start-up with a report and
// an exit code; from the main form's load on, the icon is taken out before the report, so no
// ghost icon outlives the program, whatever failed. The one-copy name is let go before the
// report too: a start while the report is up must not be told that this copy runs.
#include <functional>
#include <stdexcept>
#include <string>

namespace murmuro {

inline constexpr int kExitUnexpected = 1;
inline constexpr int kExitNoVoice = 2;
inline constexpr int kExitSettings = 3;
inline constexpr int kExitNoWindow = 4;

// A step that failed for a reason of its own, with the exit code that says which.
class StartUpError : public std::runtime_error {
 public:
  StartUpError(int exitCode, const std::string& message) : std::runtime_error(message), exitCode_(exitCode) {}
  int ExitCode() const noexcept { return exitCode_; }

 private:
  int exitCode_;
};

struct StartUpSteps {
  std::function<void()> CreateVoice;
  std::function<void()> LoadMainForm;
  std::function<void()> LoadSettings;    // throws SettingsError for a missing or broken file
  std::function<void()> CancelMainForm;  // takes the icon out; harmless when there is none
  std::function<void(const std::string&)> Report;
  std::function<void()> LetGoOfOneCopy;  // runs before Report
};

// Runs the steps in order: 0 when the program is up, otherwise the exit code after the report.
int StartUp(const StartUpSteps& steps) noexcept;

}  // namespace murmuro
