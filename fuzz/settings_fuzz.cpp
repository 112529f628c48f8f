// Any file parses or fails with SettingsError; what parses writes out and reads back the same,
// in each encoding.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/cp1252_codec.h"
#include "core/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using enum murmuro::SettingsEncoding;
  const murmuro::Cp1252Codec codec;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  murmuro::Settings parsed;
  try {
    parsed = murmuro::ParseSettings(bytes, codec, "kel.dat");
  } catch (const murmuro::SettingsError&) {
    return 0;
  }
  const auto found = parsed.Encoding;
  // Also a record as if typed into the dialog: the input as code-page text, on one line.
  murmuro::Text typed = codec.ToText(bytes);
  std::erase(typed, u'\n');
  for (const bool withTyped : {false, true}) {
    if (withTyped) parsed.Acronyms.Add(typed);
    for (const auto encoding : {found, Ansi, Utf8, Utf8WithMark}) {
      parsed.Encoding = encoding;
      const std::string written = murmuro::FormatSettings(parsed, codec);
      const murmuro::Settings again = murmuro::ParseSettings(written, codec, "kel.dat");
      // UTF-8 stays UTF-8, unless it is plain ASCII; code-page text may have needed UTF-8.
      const bool encodingKept =
          again.Encoding == encoding || encoding == Ansi || (encoding == Utf8 && again.Encoding == Ansi);
      if (again.UseReader != parsed.UseReader || again.TopOnly != parsed.TopOnly ||
          !(again.Acronyms == parsed.Acronyms) || !encodingKept ||
          murmuro::FormatSettings(again, codec) != written) {
        std::abort();
      }
    }
  }
  return 0;
}
