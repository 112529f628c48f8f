#pragma once
// The system's ANSI code page (CP_ACP), as the 8-bit window calls use it.
#include "platform/ansi_codec.h"

namespace murmuro::win32 {

class Win32AnsiCodec final : public platform::AnsiCodec {
 public:
  Text ToText(std::string_view ansi) const override;
  std::string FromText(TextView text) const override;
  std::optional<std::string> FromTextExactly(TextView text) const override;
};

}  // namespace murmuro::win32
