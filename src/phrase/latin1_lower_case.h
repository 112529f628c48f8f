#pragma once
// Lower-case mapping of ASCII and Latin-1 letters; everything else stays. The portable stand-in
// for the system's mapping.
#include "platform/lower_case.h"

namespace murmuro {

class Latin1LowerCase final : public platform::LowerCase {
 public:
  Text Lower(TextView text) const override {
    Text out(text);
    for (char16_t& c : out) {
      if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c = static_cast<char16_t>(c + 0x20);
    }
    return out;
  }
};

}  // namespace murmuro
