#include "ui/main_form.h"

#include <optional>

#include "core/resume_next.h"
#include "ui/save_failure.h"
#include "ui/tray_code.h"

namespace murmuro {
namespace {

constexpr TextView kBlockedBefore = u"Murmuro cannot read ";
constexpr TextView kBlockedAfter = u": the IM client runs as administrator";
constexpr TextView kShortened = u"...";
static_assert(platform::kTrayTipSize - 1 > kBlockedBefore.size() + kBlockedAfter.size() + kShortened.size());

}  // namespace

Text TrayTip(TextView blocked) {
  if (blocked.empty()) return Text(kProgramName);
  const std::size_t room = platform::kTrayTipSize - 1 - kBlockedBefore.size() - kBlockedAfter.size();
  Text title(blocked);
  if (title.size() > room) title = Text(WholeCharacters(blocked, room - kShortened.size())) + Text(kShortened);
  return Text(kBlockedBefore) + title + Text(kBlockedAfter);
}

fMain::fMain(ProgramState& state, fOps& options, MainFormPlatform platform, MainFormCalls calls)
    : state_(state),
      options_(options),
      platform_(platform),
      calls_(std::move(calls)),
      tray_(platform.Shell, platform.Codec),
      items_{{{u"Use Murmuro", false}, {u"Options", false}, {u"-", false}, {u"Exit", false}}} {}

void fMain::Form_Load() noexcept {
  if (loaded_) return;
  loaded_ = true;
  ResumeNext step;
  bool shown = false;
  step([&] { shown = tray_.AddTrayIcon(platform_.hWnd, platform_.Icon, kProgramName); });
  RetryIconUnless(shown);
  step([&] { calls_.ReadWindows(); });
}

// Without its icon the program speaks on with no way to reach Options or Exit, and at sign-in
// the shell sends no "TaskbarCreated" after being busy.
void fMain::RetryIconUnless(bool shown) noexcept {
  ResumeNext{}([&] { platform_.IconRetry.SetEnabled(!shown); });
}

void fMain::IconRetry_Timer() noexcept {
  ResumeNext step;
  bool on = false;
  step([&] { on = platform_.IconRetry.Enabled(); });
  if (!loaded_ || !on) return;
  bool shown = false;
  step([&] { shown = tray_.RetryTrayIcon(); });
  RetryIconUnless(shown);
}

void fMain::Form_MouseMove(std::int16_t, std::int16_t, float X, float) noexcept {
  // Not while unloading: a Retry box may be up, and the program is going.
  if (!loaded_) return;
  ResumeNext step;
  std::optional<std::int32_t> code;
  step([&] {
    code = TrayNotificationCode(X, platform_.Scale.ScaleMode(), platform_.Scale.TwipsPerPixelX());
  });
  if (code != kWmRButtonUp) return;
  std::optional<std::int16_t> chosen;
  step([&] { chosen = platform_.Menu.PopupAtMouse(items_); });
  if (chosen) mnuPop1_Click(*chosen);
}

void fMain::mnuPop1_Click(std::int16_t Index) noexcept {
  switch (Index) {
    case kMenuUseReader:
      // Only 0 counts as off here; any other value, 2 included, switches reading off.
      if (state_.UseReader == 0) {
        state_.UseReader = 1;
        state_.ReadingSwitchedOn->fetch_add(1);
        SetItemChecked(kMenuUseReader, true);
      } else {
        state_.UseReader = 0;
        SetItemChecked(kMenuUseReader, false);
        // Off means silent now, not once the queue has been read out.
        ResumeNext{}([&] {
          if (state_.Voice) state_.Voice->Purge();
        });
      }
      break;
    case kMenuOptions:
      options_.Show();
      break;
    case kMenuExit:
      options_.Unload();
      Unload();
      break;
    default:
      break;
  }
}

void fMain::Unload() noexcept { End(Asking::kUser); }

void fMain::Close() noexcept {
  options_.Unload();
  if (cancelled_) {
    // A start-up failure is on show: an installer waiting for the program must not wait on a
    // box nobody may answer.
    ProgramEnd();
    return;
  }
  if (askingRetry_ && !ended_) {
    // Exit's Retry box is up: whoever asks from outside cannot answer it, so the save is tried
    // once more, silently, and the end finishes here.
    Form_Unload(Asking::kNobody);
    ProgramEnd();
    return;
  }
  End(Asking::kNobody);
}

void fMain::EndSession() noexcept { Close(); }

void fMain::End(Asking asking) noexcept {
  if (!loaded_) return;
  loaded_ = false;
  ResumeNext step;
  // Nothing is read, spoken or put back into the tray while a Retry box waits for the user.
  step([&] { platform_.Poll.SetEnabled(false); });
  step([&] { platform_.IconRetry.SetEnabled(false); });
  step([&] {
    if (state_.Voice) state_.Voice->Purge();
  });
  Form_Unload(asking);
  ProgramEnd();
}

void fMain::ProgramEnd() noexcept {
  if (ended_) return;
  ended_ = true;
  ResumeNext{}([&] { calls_.ProgramEnd(); });
}

void fMain::Form_Unload(Asking asking) {
  ResumeNext step;
  for (;;) {
    const auto failure = SaveFailure(calls_.SaveSettings);
    if (!failure) break;
    bool retry = false;
    if (asking == Asking::kUser) {
      askingRetry_ = true;
      step([&] {
        retry = platform_.Boxes.AskRetry(*failure + "\n\nChoose Retry to try again, or Cancel to end Murmuro "
                                                    "without saving your changes.");
      });
      askingRetry_ = false;
      // The session ended while the box was up, and the unload was finished then.
      if (ended_) return;
    }
    if (!retry) break;
  }
  step([&] { tray_.RemoveTrayIcon(); });
}

void fMain::TaskbarCreated() noexcept {
  if (!loaded_) return;
  ResumeNext step;
  platform::IconHandle icon = 0;
  step([&] {
    if (calls_.TrayIcon) icon = calls_.TrayIcon();
  });
  bool shown = false;
  step([&] { shown = tray_.RestoreTrayIcon(icon); });
  RetryIconUnless(shown);
}

void fMain::ShowBlocked(TextView title) noexcept {
  if (!loaded_) return;
  bool shown = false;
  ResumeNext{}([&] { shown = tray_.ChangeTip(TrayTip(title)); });
  // A shell too busy to take it now gets it with the icon's next retry.
  if (!shown) RetryIconUnless(false);
}

void fMain::CancelLoad() noexcept {
  cancelled_ = true;
  ResumeNext step;
  step([&] { platform_.IconRetry.SetEnabled(false); });
  if (!loaded_) return;
  loaded_ = false;
  step([&] { tray_.RemoveTrayIcon(); });
}

void fMain::SetItemChecked(std::int16_t Index, bool checked) noexcept {
  if (Index < 0 || static_cast<std::size_t>(Index) >= items_.size()) return;
  items_[static_cast<std::size_t>(Index)].Checked = checked;
}

}  // namespace murmuro
