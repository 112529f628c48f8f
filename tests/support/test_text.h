#pragma once
// Readable test texts: "⏎" stands for CR LF and "·" for a space, as in the written examples.
#include <ostream>
#include <string>
#include <string_view>

#include "base/text.h"

namespace murmuro::testing {

inline Text T(std::string_view readable) {
  Text out;
  for (std::size_t i = 0; i < readable.size();) {
    if (readable.compare(i, 3, "\xE2\x8F\x8E") == 0) {  // ⏎
      out += kCrLf;
      i += 3;
    } else if (readable.compare(i, 2, "\xC2\xB7") == 0) {  // ·
      out += u' ';
      i += 2;
    } else {
      out += static_cast<char16_t>(static_cast<unsigned char>(readable[i]));
      ++i;
    }
  }
  return out;
}

inline std::string Show(TextView t) {
  std::string out;
  for (char16_t c : t) {
    if (c == u'\r') out += "\\r";
    else if (c == u'\n') out += "\\n";
    else if (c == u' ') out += "\xC2\xB7";
    else if (c < 0x80) out += static_cast<char>(c);
    else out += "\\u" + std::to_string(static_cast<unsigned>(c));
  }
  return out;
}

}  // namespace murmuro::testing
