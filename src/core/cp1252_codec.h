#pragma once
// Windows-1252, the ANSI code page of Western Windows systems; the portable stand-in for the
// system code page (tests, Linux tools).
#include "platform/ansi_codec.h"

namespace murmuro {

class Cp1252Codec final : public platform::AnsiCodec {
 public:
  Text ToText(std::string_view ansi) const override;
  std::string FromText(TextView text) const override;
  std::optional<std::string> FromTextExactly(TextView text) const override;
};

}  // namespace murmuro
