#pragma once
// Puts the program's icon into the shell's notification area and takes it out again. The record
// is kept between the two calls, as the shell finds the icon again by window and id.
#include <array>
#include <cstdint>

#include "base/text.h"
#include "platform/ansi_codec.h"
#include "platform/tray_shell.h"

namespace murmuro {

inline constexpr std::uint32_t kTrayIconId = 1;
// The shell reports mouse activity over the icon as the window's own mouse-move message.
inline constexpr std::uint32_t kTrayCallbackMessage = 512;

// The record as the program keeps it; the tip field is converted to the code page at each call.
struct TrayIconRecord {
  Hwnd hWnd = 0;
  std::uint32_t uID = 0;
  std::uint32_t uFlags = 0;
  std::uint32_t uCallbackMessage = 0;
  platform::IconHandle hIcon = 0;
  Text szTip;  // kTrayTipSize characters: the tip, a NUL, spaces

  bool operator==(const TrayIconRecord&) const = default;
};

// The tip, cut to 63 characters so that its NUL always fits, then a NUL, then spaces.
Text TrayTipField(TextView tip);

// The field in the code page: the characters before its NUL as far as they fit in 63 bytes
// (a character is never split), a NUL, then spaces.
std::array<char, platform::kTrayTipSize> TrayTipToAnsi(TextView field,
                                                       const platform::AnsiCodec& codec);

class IconToSysTray {
 public:
  IconToSysTray(platform::TrayShell& shell, const platform::AnsiCodec& codec) noexcept
      : shell_(shell), codec_(codec) {}

  // True when the shell took the icon. False does not mean it is missing: an add that timed
  // out while the shell was busy may still have put it there.
  bool AddTrayIcon(Hwnd window, platform::IconHandle icon, TextView tip);
  void RemoveTrayIcon();
  // Shows another tip; true when the shell took it. Before AddTrayIcon there is nothing to change.
  bool ChangeTip(TextView tip);
  // After an add that failed: true once the icon is there. It is refreshed first, and added only
  // when the shell does not have it, since an add over an icon that is there fails.
  bool RetryTrayIcon();
  // After the shell restarted: adds the kept record again, or refreshes it when the shell still
  // has the icon; `icon` (unless 0) replaces the kept one. False when the shell took neither.
  // Nothing before the first AddTrayIcon.
  bool RestoreTrayIcon(platform::IconHandle icon = 0);

  const TrayIconRecord& TrayIconData() const noexcept { return record_; }

 private:
  platform::NotifyIconDataA AnsiRecord() const;

  platform::TrayShell& shell_;
  const platform::AnsiCodec& codec_;
  TrayIconRecord record_;
};

}  // namespace murmuro
