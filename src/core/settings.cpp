#include "core/settings.h"

#include <charconv>
#include <limits>
#include <vector>

namespace murmuro {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Lines end at LF, with the CR before it dropped; a last line without an end still counts.
// Files edited with a Unix editor (LF alone) read the same as ours.
std::vector<std::string_view> FileLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  while (!bytes.empty()) {
    const auto lf = bytes.find('\n');
    std::string_view line = bytes.substr(0, lf);
    if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (lf == std::string_view::npos) break;
    bytes.remove_prefix(lf + 1);
  }
  return lines;
}

std::string Quoted(std::string_view s) {
  constexpr std::size_t kShown = 40;
  std::string q = "\"";
  q.append(s.substr(0, kShown));
  if (s.size() > kShown) q.append("...");
  q.push_back('"');
  return q;
}

// A byte count as people read it: 1,048,576.
std::string Grouped(std::uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return out;
}

std::string Limit() { return "1 MiB (" + Grouped(kMaxSettingsFileBytes) + " bytes)"; }

std::int16_t ReadSwitch(const std::vector<std::string_view>& lines, std::size_t number,
                        const std::string& fileName) {
  const std::string where = "Settings file \"" + fileName + "\", line " + std::to_string(number);
  if (lines.size() < number) {
    throw SettingsError(where + ": the file ends before this line. It must start with two lines "
                        "holding whole numbers (1 or 0).");
  }
  const std::string_view line = lines[number - 1];
  if (auto value = ParseSwitch(line)) return *value;
  throw SettingsError(where + ": " + Quoted(line) +
                      " is not a whole number from -32768 to 32767.");
}

}  // namespace

std::string PathForMessage(const std::filesystem::path& path) {
  const auto u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
}

std::optional<std::int16_t> ParseSwitch(std::string_view line) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
  bool negative = false;
  if (!line.empty() && (line.front() == '+' || line.front() == '-')) {
    negative = line.front() == '-';
    line.remove_prefix(1);
  }
  if (line.empty()) return std::nullopt;
  std::int32_t magnitude = 0;
  for (char c : line) {
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > 32768) return std::nullopt;
  }
  const std::int32_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int16_t>::max()) return std::nullopt;
  return static_cast<std::int16_t>(value);
}

Settings ParseSettings(std::string_view bytes, const platform::AnsiCodec& codec,
                       const std::string& fileName) {
  const auto lines = FileLines(bytes);
  Settings settings;
  settings.UseReader = ReadSwitch(lines, 1, fileName);
  settings.TopOnly = ReadSwitch(lines, 2, fileName);
  for (std::size_t i = 2; i < lines.size(); ++i) settings.Acronyms.Add(codec.ToText(lines[i]));
  return settings;
}

std::string FormatSettings(const Settings& settings, const platform::AnsiCodec& codec) {
  std::string out = std::to_string(settings.UseReader) + "\r\n" +
                    std::to_string(settings.TopOnly) + "\r\n";
  for (const Text& record : settings.Acronyms) {
    out += codec.FromText(record);
    out += "\r\n";
  }
  return out;
}

void LoadSettings(ProgramState& state, const SettingsStore& store,
                  const std::function<void()>& checkReadingItem) {
  state.Acronyms = AcronymList();
  const auto file = store.File();
  const std::string fileName = PathForMessage(file);
  const auto tooBig = [&](std::uint64_t size) {
    return SettingsError("Settings file \"" + fileName + "\" is " + Grouped(size) +
                         " bytes, more than the " + Limit() +
                         " a settings file may hold; an acronym list takes a few KB. Copy the "
                         "kel.dat that came with Murmuro in its place.");
  };
  // The size first: a huge file is refused without being read.
  const auto size = store.files.Size(file);
  if (size && *size > kMaxSettingsFileBytes) throw tooBig(*size);
  const auto bytes = size ? store.files.ReadAll(file) : std::nullopt;
  if (!bytes) {
    throw SettingsError("Settings file \"" + fileName +
                        "\" is missing or cannot be opened. It must sit beside the program.");
  }
  if (bytes->size() > kMaxSettingsFileBytes) throw tooBig(bytes->size());  // it grew meanwhile
  Settings settings = ParseSettings(*bytes, store.codec, fileName);
  state.UseReader = settings.UseReader;
  state.TopOnly = settings.TopOnly;
  if (state.UseReader == 1 && checkReadingItem) checkReadingItem();
  state.Acronyms = std::move(settings.Acronyms);
}

void SaveSettings(const ProgramState& state, const SettingsStore& store) {
  const Settings settings{state.UseReader, state.TopOnly, state.Acronyms};
  const std::string bytes = FormatSettings(settings, store.codec);
  const auto file = store.File();
  if (bytes.size() > kMaxSettingsFileBytes) {
    throw SettingsError("Settings file \"" + PathForMessage(file) + "\" was not written: it would be " +
                        Grouped(bytes.size()) + " bytes, more than the " + Limit() +
                        " Murmuro reads back. Remove some acronyms.");
  }
  const std::string error = store.files.ReplaceAll(file, bytes);
  if (!error.empty()) {
    throw SettingsError("Settings file \"" + PathForMessage(file) + "\" could not be written: " + error);
  }
}

}  // namespace murmuro
