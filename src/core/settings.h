#pragma once
// The settings file "kel.dat" beside the program: text in the code page or in UTF-8, CR LF
// lines; line 1 the reading switch, line 2 the active-window-only switch, then one acronym
// record per line.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/state.h"
#include "platform/ansi_codec.h"
#include "platform/file_system.h"

namespace murmuro {

inline constexpr std::string_view kSettingsFileName = "kel.dat";
// Where a save keeps a kel.dat that was changed outside Murmuro before writing over it.
inline constexpr std::string_view kSettingsBackupName = "kel.dat.bak";

// A load or save that failed; the message names the file (and the line, where there is one).
class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How the file's text is stored.
enum class SettingsEncoding {
  Ansi,          // the system's code page
  Utf8,          // UTF-8 without a byte-order mark
  Utf8WithMark,  // UTF-8 after the byte-order mark EF BB BF
};

// Larger files are refused at load, and a save that would write more is refused too: an
// acronym list takes a few KB.
inline constexpr std::uint64_t kMaxSettingsFileBytes = 1u << 20;

// A line of a code-page file whose bytes also form UTF-8 text of another meaning ("Ã©" in the
// code page, "é" in UTF-8). A save keeps such a line only by keeping its bytes in a file read
// as code page.
struct TwoWayLine {
  std::size_t Number = 0;  // in the file, from 1
  Text Read;               // as the code page gives it, the meaning Murmuro uses

  friend bool operator==(const TwoWayLine&, const TwoWayLine&) = default;
};

struct Settings {
  std::int16_t UseReader = 0;
  std::int16_t TopOnly = 0;
  AcronymList Acronyms;
  SettingsEncoding Encoding = SettingsEncoding::Ansi;
  std::vector<TwoWayLine> TwoWayLines = {};  // a code-page file's only
};

class SettingsStore;
// Replaces Acronyms and both switches from the file. `checkReadingItem` runs when the reading
// switch is exactly 1 (the menu shows its check mark then). Throws SettingsError.
void LoadSettings(ProgramState& state, SettingsStore& store,
                  const std::function<void()>& checkReadingItem = {});
// Rewrites the whole file in the encoding it had; a failure leaves the old file whole and
// throws SettingsError. Before a load has succeeded in this run it writes nothing: the state
// then holds nothing of the user's, and writing it would wipe their file. A save that would
// change the meaning of a two-way line still in the list fails and writes nothing. A file
// whose bytes are no longer those last loaded or saved (edited outside meanwhile) is kept as
// kel.dat.bak, in place of any earlier one, in the same step that writes over it.
void SaveSettings(const ProgramState& state, SettingsStore& store);
// As SaveSettings, but only when the switches or the acronym list differ by value from what
// was last loaded or saved, or when the file has gone: otherwise the file is left as it is,
// with any edits made to it meanwhile.
void SaveChangedSettings(const ProgramState& state, SettingsStore& store);

// Where the settings live, how they are read and written, and what this run knows of the file.
class SettingsStore {
 public:
  SettingsStore(std::filesystem::path folder, platform::FileSystem& files,
                const platform::AnsiCodec& codec)
      : folder_(std::move(folder)), files_(files), codec_(codec) {}

  std::filesystem::path File() const { return folder_ / kSettingsFileName; }
  std::filesystem::path Backup() const { return folder_ / kSettingsBackupName; }

 private:
  friend void LoadSettings(ProgramState&, SettingsStore&, const std::function<void()>&);
  friend void SaveSettings(const ProgramState&, SettingsStore&);
  friend void SaveChangedSettings(const ProgramState&, SettingsStore&);

  std::filesystem::path folder_;
  platform::FileSystem& files_;
  const platform::AnsiCodec& codec_;
  // The settings as last loaded or saved, with the file's encoding and two-way lines then;
  // nullopt until a load has succeeded.
  std::optional<Settings> last_;
  std::string lastBytes_;  // the file's bytes then
};

// A path as UTF-8, for messages.
std::string PathForMessage(const std::filesystem::path& path);

// Reads a switch line: optional blanks, an optional sign, decimal digits, optional blanks;
// nullopt unless the value fits 16 bits.
std::optional<std::int16_t> ParseSwitch(std::string_view line);

// UTF-8 when the bytes start with the byte-order mark, or hold bytes above 127 that all form
// well-formed UTF-8; the code page otherwise (plain ASCII included).
SettingsEncoding DetectEncoding(std::string_view bytes);

// The file's bytes to settings, Encoding as detected; throws SettingsError naming `fileName`
// and the line, also for bytes that are not text in the code page.
Settings ParseSettings(std::string_view bytes, const platform::AnsiCodec& codec,
                       const std::string& fileName);
// The bytes in settings.Encoding. Code-page text goes out as UTF-8 without the mark instead
// when a character does not fit the code page, or when its bytes would read back as UTF-8.
std::string FormatSettings(const Settings& settings, const platform::AnsiCodec& codec);

}  // namespace murmuro
