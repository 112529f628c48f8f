// Any file parses or fails with SettingsError; what parses writes out and reads back the same.
#include <cstdint>
#include <cstdlib>

#include "core/cp1252_codec.h"
#include "core/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const murmuro::Cp1252Codec codec;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  murmuro::Settings parsed;
  try {
    parsed = murmuro::ParseSettings(bytes, codec, "kel.dat");
  } catch (const murmuro::SettingsError&) {
    return 0;
  }
  const std::string written = murmuro::FormatSettings(parsed, codec);
  const murmuro::Settings again = murmuro::ParseSettings(written, codec, "kel.dat");
  if (again.UseReader != parsed.UseReader || again.TopOnly != parsed.TopOnly ||
      !(again.Acronyms == parsed.Acronyms) || murmuro::FormatSettings(again, codec) != written) {
    std::abort();
  }
  return 0;
}
