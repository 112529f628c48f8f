#pragma once
// The hidden main form: owns the tray icon and its popup menu, and ends the program when it
// unloads. The poll timer and the scan live elsewhere; the form only starts the first scan and
// stops the timer when it unloads.
#include <array>
#include <cstdint>
#include <functional>

#include "core/state.h"
#include "platform/ansi_codec.h"
#include "platform/form_scale.h"
#include "platform/message_boxes.h"
#include "platform/poll_timer.h"
#include "platform/popup_menu.h"
#include "platform/tray_shell.h"
#include "ui/icon_to_sys_tray.h"
#include "ui/options_dialog.h"

namespace murmuro {

inline constexpr TextView kProgramName = u"Murmuro";

// The tray icon's tip: the program's name, or, while the client of the conversation titled
// `blocked` refuses to be read, why. A long title is shortened so that the reason always fits.
Text TrayTip(TextView blocked);

// The popup's items.
inline constexpr std::int16_t kMenuUseReader = 0;
inline constexpr std::int16_t kMenuOptions = 1;
inline constexpr std::int16_t kMenuSeparator = 2;
inline constexpr std::int16_t kMenuExit = 3;
inline constexpr std::size_t kMenuItems = 4;

// What the form reaches of the platform: its own window and icon, the shell, the menu, the
// poll timer and the timer that tries again to put an icon the shell refused into the tray.
struct MainFormPlatform {
  Hwnd hWnd = 0;
  platform::IconHandle Icon = 0;
  platform::TrayShell& Shell;
  const platform::AnsiCodec& Codec;
  platform::PopupMenu& Menu;
  const platform::FormScale& Scale;
  platform::MessageBoxes& Boxes;
  platform::PollTimer& Poll;
  platform::PollTimer& IconRetry;
};

// The program's procedures the form calls. SaveSettings throws when the file cannot be written.
struct MainFormCalls {
  std::function<void()> ReadWindows;
  std::function<void()> SaveSettings;
  // The form has unloaded and no form is left: the program ends (the Windows side quits its
  // message loop).
  std::function<void()> ProgramEnd;
  // The icon at the size the notification area uses now (the display's scale may have changed
  // since start-up); 0 when none can be loaded.
  std::function<platform::IconHandle()> TrayIcon;
};

class fMain {
 public:
  fMain(ProgramState& state, fOps& options, MainFormPlatform platform, MainFormCalls calls);

  // Runs once: adds the tray icon, then makes the first scan. An icon the shell did not take
  // (it is still busy at sign-in) is tried again on the IconRetry timer until it is there.
  void Form_Load() noexcept;
  void IconRetry_Timer() noexcept;
  // A tray notification: the mouse message's code arrives as X. Only the right button's
  // release opens the menu; the chosen item runs mnuPop1_Click.
  void Form_MouseMove(std::int16_t Button, std::int16_t Shift, float X, float Y) noexcept;
  void mnuPop1_Click(std::int16_t Index) noexcept;
  // Unloads the form (Form_Unload: save, remove the icon), then the program ends. Only the
  // first call after Form_Load does anything. Reading stops first: the poll timer goes off and
  // the voice drops what it still had to say. A save that fails offers Retry and Cancel; Cancel
  // ends without saving.
  void Unload() noexcept;
  // An end asked for from outside (WM_CLOSE from an installer or a script): as Exit, but a
  // failed save is tried once and asks nothing, since nobody may be there. While Exit's Retry
  // box waits, the save is tried once more, silently, and the end finishes here, which also
  // ends the box. After CancelLoad it ends the program at once, which also ends the start-up
  // failure's message box.
  void Close() noexcept;
  // The session ends: as Close, finished before the session takes the process.
  void EndSession() noexcept;
  // The shell restarted ("TaskbarCreated"): the icon goes back into the new notification area,
  // at the size the area uses now.
  void TaskbarCreated() noexcept;
  // The conversation whose client refuses to be read, or empty when none does: named in the tip.
  void ShowBlocked(TextView title) noexcept;
  // For a start-up that fails after Form_Load: takes the icon out and leaves the form unloaded,
  // so that nothing later writes the settings file or puts the icon back. The program's end is
  // the caller's, unless a Close comes first.
  void CancelLoad() noexcept;

  // The check mark of an item; the settings load sets item 0's when reading is on.
  void SetItemChecked(std::int16_t Index, bool checked) noexcept;
  const std::array<platform::MenuItem, kMenuItems>& mnuPop1() const noexcept { return items_; }
  bool Loaded() const noexcept { return loaded_; }
  const TrayIconRecord& TrayIconData() const noexcept { return tray_.TrayIconData(); }

 private:
  enum class Asking { kUser, kNobody };
  void End(Asking asking) noexcept;
  void Form_Unload(Asking asking);
  void ProgramEnd() noexcept;
  void RetryIconUnless(bool shown) noexcept;

  ProgramState& state_;
  fOps& options_;
  MainFormPlatform platform_;
  MainFormCalls calls_;
  IconToSysTray tray_;
  std::array<platform::MenuItem, kMenuItems> items_;
  bool loaded_ = false;
  bool cancelled_ = false;
  bool askingRetry_ = false;  // Exit's Retry box is up
  bool ended_ = false;        // ProgramEnd has run
};

}  // namespace murmuro
