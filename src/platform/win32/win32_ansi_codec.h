#pragma once
// The system's ANSI code page (CP_ACP), as the 8-bit window calls use it.
#include "platform/ansi_codec.h"

namespace murmuro::win32 {

class Win32AnsiCodec final : public platform::AnsiCodec {
 public:
  // Another code page than the system's lets tests meet double-byte and UTF-8 systems.
  explicit Win32AnsiCodec(unsigned codePage = 0 /* CP_ACP */) : codePage_(codePage) {}

  Text ToText(std::string_view ansi) const override;
  std::optional<Text> ToTextExactly(std::string_view ansi) const override;
  std::string FromText(TextView text) const override;
  std::optional<std::string> FromTextExactly(TextView text) const override;

 private:
  unsigned codePage_;
};

}  // namespace murmuro::win32
