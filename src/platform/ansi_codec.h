#pragma once
// The 8-bit code page at the edge of the program: window titles, class names and the settings file.
#include <optional>
#include <string>
#include <string_view>

#include "base/text.h"

namespace murmuro::platform {

class AnsiCodec {
 public:
  virtual ~AnsiCodec() = default;
  // Bytes the code page cannot decode come out as a replacement or default character.
  virtual Text ToText(std::string_view ansi) const = 0;
  // nullopt when a byte or sequence is not text in the code page (a lone lead byte of a
  // double-byte code page, a byte the code page leaves undefined).
  virtual std::optional<Text> ToTextExactly(std::string_view ansi) const = 0;
  // Characters the code page cannot hold come out as the code page's default character.
  virtual std::string FromText(TextView text) const = 0;
  // nullopt when a character has no byte form of its own in the code page (no default
  // character, no look-alike).
  virtual std::optional<std::string> FromTextExactly(TextView text) const = 0;
};

}  // namespace murmuro::platform
