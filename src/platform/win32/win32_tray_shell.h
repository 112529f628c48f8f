#pragma once
// The notification area through Shell_NotifyIconA and the first, ANSI version of its record.
#include <windows.h>
#include <shellapi.h>

#include "platform/tray_shell.h"

namespace murmuro::win32 {

// The record's first version: 88 bytes in a 32-bit build, 104 in a 64-bit one.
inline constexpr DWORD kNotifyIconDataV1Size = NOTIFYICONDATAA_V1_SIZE;

// The shell's record for `record`: only the first version's fields are set, the tip byte for byte.
NOTIFYICONDATAA ToNotifyIconData(const platform::NotifyIconDataA& record) noexcept;

class Win32TrayShell final : public platform::TrayShell {
 public:
  bool Shell_NotifyIconA(std::uint32_t message, const platform::NotifyIconDataA& record) override;
};

}  // namespace murmuro::win32
