#pragma once
// Recording fakes of the user interface's platform seams.
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/form_scale.h"
#include "platform/message_boxes.h"
#include "platform/options_view.h"
#include "platform/popup_menu.h"
#include "platform/tray_shell.h"

namespace murmuro::testing {

// Every fake appends to one shared log, so tests can check the order across seams.
using EventLog = std::vector<std::string>;

class RecordingTrayShell final : public platform::TrayShell {
 public:
  struct Call {
    std::uint32_t message;
    platform::NotifyIconDataA record;
  };
  explicit RecordingTrayShell(EventLog& log) : log_(log) {}

  bool Shell_NotifyIconA(std::uint32_t message, const platform::NotifyIconDataA& record) override {
    calls.push_back({message, record});
    log_.push_back("shell " + std::to_string(message));
    if (throws) throw std::runtime_error("shell");
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::vector<Call> calls;
  std::deque<bool> answers;  // the next answers; true once they run out
  bool throws = false;

 private:
  EventLog& log_;
};

class ScriptedPopupMenu final : public platform::PopupMenu {
 public:
  explicit ScriptedPopupMenu(EventLog& log) : log_(log) {}

  std::optional<std::int16_t> PopupAtMouse(std::span<const platform::MenuItem> items) override {
    shown.emplace_back(items.begin(), items.end());
    log_.push_back("popup");
    return choice;
  }

  std::vector<std::vector<platform::MenuItem>> shown;
  std::optional<std::int16_t> choice;

 private:
  EventLog& log_;
};

class FixedScale final : public platform::FormScale {
 public:
  std::int16_t ScaleMode() const override { return mode; }
  float TwipsPerPixelX() const override { return twipsPerPixel; }

  std::int16_t mode = platform::kScaleModePixels;
  float twipsPerPixel = 15.0f;
};

class RecordingOptionsView final : public platform::OptionsView {
 public:
  explicit RecordingOptionsView(EventLog& log) : log_(log) {}

  void Show(const platform::OptionsContent& content) override { Record("show", content); }
  void Render(const platform::OptionsContent& content) override { Record("render", content); }
  void Unload() override {
    log_.push_back("dialog unload");
    open = false;
    if (throws) throw std::runtime_error("view");
  }
  void ShowError(const std::string& message) override {
    log_.push_back("dialog error");
    errors.push_back(message);
  }

  std::vector<std::string> errors;  // the message boxes shown over the dialog

  // What the window shows; meaningful while it is open.
  platform::OptionsContent drawn;
  bool open = false;
  bool throws = false;

 private:
  void Record(const char* what, const platform::OptionsContent& content) {
    log_.push_back(std::string("dialog ") + what);
    drawn = content;
    open = true;
    if (throws) throw std::runtime_error("view");
  }
  EventLog& log_;
};

// Answers the Retry/Cancel boxes from a script; Cancel once it runs out.
class ScriptedMessageBoxes final : public platform::MessageBoxes {
 public:
  explicit ScriptedMessageBoxes(EventLog& log) : log_(log) {}

  bool AskRetry(const std::string& message) override {
    log_.push_back("ask retry");
    asked.push_back(message);
    if (whileAsking) whileAsking();
    if (retries.empty()) return false;
    const bool retry = retries.front();
    retries.pop_front();
    return retry;
  }

  std::vector<std::string> asked;
  std::deque<bool> retries;
  std::function<void()> whileAsking;  // what arrives while the box is up

 private:
  EventLog& log_;
};

}  // namespace murmuro::testing
