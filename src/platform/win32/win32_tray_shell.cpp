#include "platform/win32/win32_tray_shell.h"

#include <cstddef>
#include <cstring>

#include "platform/win32/win32_window_system.h"

namespace murmuro::win32 {

static_assert(sizeof(void*) != 4 || kNotifyIconDataV1Size == 88);
static_assert(sizeof(void*) != 8 || kNotifyIconDataV1Size == 104);
// The first version ends right after the 64th byte of the tip (later versions made the field longer).
static_assert(sizeof(NOTIFYICONDATAA{}.szTip) >= platform::kTrayTipSize);
static_assert(offsetof(NOTIFYICONDATAA, szTip) + platform::kTrayTipSize == kNotifyIconDataV1Size);

NOTIFYICONDATAA ToNotifyIconData(const platform::NotifyIconDataA& record) noexcept {
  NOTIFYICONDATAA data{};
  data.cbSize = kNotifyIconDataV1Size;
  data.hWnd = ToHwnd(record.hWnd);
  data.uID = record.uID;
  data.uFlags = record.uFlags;
  data.uCallbackMessage = record.uCallbackMessage;
  data.hIcon = reinterpret_cast<HICON>(record.hIcon);
  std::memcpy(data.szTip, record.szTip.data(), platform::kTrayTipSize);
  return data;
}

bool Win32TrayShell::Shell_NotifyIconA(std::uint32_t message, const platform::NotifyIconDataA& record) {
  NOTIFYICONDATAA data = ToNotifyIconData(record);
  return ::Shell_NotifyIconA(message, &data) != FALSE;
}

}  // namespace murmuro::win32
