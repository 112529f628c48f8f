#pragma once
// The shell's notification area, reached with Shell_NotifyIconA and the record in its ANSI form.
#include <array>
#include <cstdint>

#include "base/text.h"

namespace murmuro::platform {

// The shell's values, named so they do not collide with the macros of <shellapi.h>.
inline constexpr std::uint32_t kNimAdd = 0;     // NIM_ADD
inline constexpr std::uint32_t kNimModify = 1;  // NIM_MODIFY
inline constexpr std::uint32_t kNimDelete = 2;  // NIM_DELETE

inline constexpr std::uint32_t kNifMessage = 1;  // NIF_MESSAGE
inline constexpr std::uint32_t kNifIcon = 2;     // NIF_ICON
inline constexpr std::uint32_t kNifTip = 4;      // NIF_TIP

inline constexpr std::size_t kTrayTipSize = 64;

// An icon handle (HICON) carried through the portable code without being looked at.
using IconHandle = std::uintptr_t;

// The fields of the first NOTIFYICONDATAA version the program sets. cbSize is not here: the
// Windows side fills in NOTIFYICONDATAA_V1_SIZE of the build (88 bytes on 32-bit, more on x64).
struct NotifyIconDataA {
  Hwnd hWnd = 0;
  std::uint32_t uID = 0;
  std::uint32_t uFlags = 0;
  std::uint32_t uCallbackMessage = 0;
  IconHandle hIcon = 0;
  std::array<char, kTrayTipSize> szTip{};  // 8-bit code page; always holds a NUL

  bool operator==(const NotifyIconDataA&) const = default;
};

class TrayShell {
 public:
  virtual ~TrayShell() = default;
  // Shell_NotifyIconA(message, record): true when the shell took the request.
  virtual bool Shell_NotifyIconA(std::uint32_t message, const NotifyIconDataA& record) = 0;
};

}  // namespace murmuro::platform
