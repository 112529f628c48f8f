#include "core/start_up.h"

#include <exception>

#include "core/settings.h"

namespace murmuro {
namespace {

int Fail(const StartUpSteps& steps, bool formLoading, int exitCode, const std::string& message) noexcept {
  try {
    if (formLoading && steps.CancelMainForm) steps.CancelMainForm();
  } catch (...) {
  }
  try {
    if (steps.LetGoOfOneCopy) steps.LetGoOfOneCopy();
  } catch (...) {
  }
  try {
    if (steps.Report) steps.Report(message);
  } catch (...) {
  }
  return exitCode;
}

}  // namespace

int StartUp(const StartUpSteps& steps) noexcept {
  bool formLoading = false;
  try {
    steps.CreateVoice();
    formLoading = true;
    steps.LoadMainForm();
    steps.LoadSettings();
    return 0;
  } catch (const StartUpError& e) {
    return Fail(steps, formLoading, e.ExitCode(), e.what());
  } catch (const SettingsError& e) {
    return Fail(steps, formLoading, kExitSettings, e.what());
  } catch (const std::exception& e) {
    return Fail(steps, formLoading, kExitUnexpected, std::string("Murmuro stopped: ") + e.what());
  } catch (...) {
    return Fail(steps, formLoading, kExitUnexpected, "Murmuro stopped after an unexpected error.");
  }
}

}  // namespace murmuro
