#pragma once
// The settings file "kel.dat" beside the program: 8-bit text, CR LF lines; line 1 the reading
// switch, line 2 the active-window-only switch, then one acronym record per line.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/state.h"
#include "platform/ansi_codec.h"
#include "platform/file_system.h"

namespace murmuro {

inline constexpr std::string_view kSettingsFileName = "kel.dat";

// A load or save that failed; the message names the file (and the line, where there is one).
class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Larger files are refused at load, and a save that would write more is refused too: an
// acronym list takes a few KB.
inline constexpr std::uint64_t kMaxSettingsFileBytes = 1u << 20;

// Where the settings live and how they are read and written.
struct SettingsStore {
  std::filesystem::path folder;
  platform::FileSystem& files;
  const platform::AnsiCodec& codec;

  std::filesystem::path File() const { return folder / kSettingsFileName; }
};

struct Settings {
  std::int16_t UseReader = 0;
  std::int16_t TopOnly = 0;
  AcronymList Acronyms;
};

// A path as UTF-8, for messages.
std::string PathForMessage(const std::filesystem::path& path);

// Reads a switch line: optional blanks, an optional sign, decimal digits, optional blanks;
// nullopt unless the value fits 16 bits.
std::optional<std::int16_t> ParseSwitch(std::string_view line);

// The file's bytes to settings; throws SettingsError naming `fileName` and the line.
Settings ParseSettings(std::string_view bytes, const platform::AnsiCodec& codec,
                       const std::string& fileName);
std::string FormatSettings(const Settings& settings, const platform::AnsiCodec& codec);

// Replaces Acronyms and both switches from the file. `checkReadingItem` runs when the reading
// switch is exactly 1 (the menu shows its check mark then). Throws SettingsError.
void LoadSettings(ProgramState& state, const SettingsStore& store,
                  const std::function<void()>& checkReadingItem = {});
// Rewrites the whole file; a failure leaves the old file whole and throws SettingsError.
void SaveSettings(const ProgramState& state, const SettingsStore& store);

}  // namespace murmuro
