#pragma once
// Windows-1252, the ANSI code page of Western Windows systems; the portable stand-in for the
// system code page (tests, Linux tools). The exact forms leave out the five bytes the code page
// does not define (81, 8D, 8F, 90, 9D), so tests can meet bytes that are not text in it; Windows
// itself maps them to C1 controls even in its strict decoding.
#include "platform/ansi_codec.h"

namespace murmuro {

class Cp1252Codec final : public platform::AnsiCodec {
 public:
  Text ToText(std::string_view ansi) const override;
  std::optional<Text> ToTextExactly(std::string_view ansi) const override;
  std::string FromText(TextView text) const override;
  std::optional<std::string> FromTextExactly(TextView text) const override;
};

}  // namespace murmuro
