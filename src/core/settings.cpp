#include "core/settings.h"

#include <algorithm>
#include <limits>
#include <unordered_set>
#include <vector>

#include "core/utf8_codec.h"

namespace murmuro {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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

// The start of a line as UTF-8, for messages.
std::string Quoted(const Text& line) {
  constexpr std::size_t kShown = 40;
  const TextView shown = WholeCharacters(line, kShown);
  std::string quoted = "\"";  // appended, not prefixed: GCC 12 warns falsely of overlap there
  quoted += TextToUtf8(shown);
  quoted += shown.size() < line.size() ? "...\"" : "\"";
  return quoted;
}

std::string Where(const std::string& fileName, std::size_t number) {
  return "Settings file \"" + fileName + "\", line " + std::to_string(number);
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

// The text of one line in the file's encoding. Only a file with the byte-order mark can hold
// malformed UTF-8 here: without the mark such a file reads as code page. Bytes the code page
// cannot decode stop the load: a replacement character would be written back at the next save.
Text DecodeLine(std::string_view line, SettingsEncoding encoding, const platform::AnsiCodec& codec,
                const std::string& fileName, std::size_t number) {
  if (encoding == SettingsEncoding::Ansi) {
    if (auto text = codec.ToTextExactly(line)) return *std::move(text);
    throw SettingsError(Where(fileName, number) +
                        ": these bytes are not text in this computer's ANSI code page. Save the file "
                        "as UTF-8, or type the line again in the ANSI code page.");
  }
  if (auto text = Utf8ToText(line)) return *std::move(text);
  throw SettingsError(Where(fileName, number) +
                      ": this is not UTF-8 text, though the file starts with the UTF-8 byte-order "
                      "mark. Save the file as UTF-8 again, or in the ANSI code page.");
}

std::int16_t ReadSwitch(const std::vector<std::string_view>& lines, std::size_t number,
                        SettingsEncoding encoding, const platform::AnsiCodec& codec,
                        const std::string& fileName) {
  if (lines.size() < number) {
    throw SettingsError(Where(fileName, number) +
                        ": the file ends before this line. It must start with two lines "
                        "holding whole numbers (1 or 0).");
  }
  const std::string_view line = lines[number - 1];
  if (auto value = ParseSwitch(line)) return *value;
  throw SettingsError(Where(fileName, number) + ": " +
                      Quoted(DecodeLine(line, encoding, codec, fileName, number)) +
                      " is not a whole number from -32768 to 32767.");
}

// The records as code-page bytes; nullopt when a character does not fit the code page, or when
// the whole file would be taken for UTF-8 at the next load.
std::optional<std::string> AnsiFile(std::string head, const AcronymList& records,
                                    const platform::AnsiCodec& codec) {
  for (const Text& record : records) {
    auto bytes = codec.FromTextExactly(record);
    if (!bytes) return std::nullopt;
    head += *bytes;
    head += "\r\n";
  }
  if (DetectEncoding(head) != SettingsEncoding::Ansi) return std::nullopt;
  return head;
}

bool IsAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The records of a code-page file (its lines from 3 on) whose bytes are also UTF-8 of other text.
std::vector<TwoWayLine> TwoWayLinesOf(const std::vector<std::string_view>& lines,
                                      const platform::AnsiCodec& codec) {
  std::vector<TwoWayLine> found;
  for (std::size_t i = 2; i < lines.size(); ++i) {
    if (IsAscii(lines[i])) continue;
    auto read = codec.ToTextExactly(lines[i]);
    const auto utf8 = Utf8ToText(lines[i]);
    if (read && utf8 && *read != *utf8) found.push_back({i + 1, *std::move(read)});
  }
  return found;
}

// Fails when the file read as code page is about to become UTF-8, or to be read as UTF-8 next
// time, while two-way lines are still in the list: either way they would change meaning.
void KeepTwoWayLines(const Settings& last, const AcronymList& records, std::string_view bytes,
                     const std::string& fileName) {
  if (last.Encoding != SettingsEncoding::Ansi || last.TwoWayLines.empty() ||
      DetectEncoding(bytes) == SettingsEncoding::Ansi) {
    return;
  }
  const std::unordered_set<Text> kept(records.begin(), records.end());
  std::string named;
  std::size_t count = 0;
  constexpr std::size_t kNamed = 5;
  for (const TwoWayLine& line : last.TwoWayLines) {
    if (!kept.contains(line.Read)) continue;
    if (++count > kNamed) continue;
    named += count > 1 ? ", line " : "line ";
    named += std::to_string(line.Number) + " " + Quoted(line.Read);
  }
  if (count == 0) return;
  if (count > kNamed) named += " and " + std::to_string(count - kNamed) + " more";
  throw SettingsError("Settings file \"" + fileName +
                      "\" was not written: it would change what these lines say, which Murmuro reads "
                      "as ANSI text though their bytes are also UTF-8 text: " + named +
                      ". In Options, type those acronyms again as they should read, or remove them, "
                      "then save again.");
}

// Whether the file on disk is no longer what this run last loaded or saved. One that cannot be
// read counts as changed: keeping it costs nothing, losing it costs an edit.
bool ChangedOutside(platform::FileSystem& files, const std::filesystem::path& file, const std::string& last) {
  if (!files.Size(file)) return false;
  const auto now = files.Read(file, kMaxSettingsFileBytes + 1);
  return !now || *now != last;
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

SettingsEncoding DetectEncoding(std::string_view bytes) {
  if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) return SettingsEncoding::Utf8WithMark;
  return !IsAscii(bytes) && IsWellFormedUtf8(bytes) ? SettingsEncoding::Utf8 : SettingsEncoding::Ansi;
}

Settings ParseSettings(std::string_view bytes, const platform::AnsiCodec& codec,
                       const std::string& fileName) {
  Settings settings;
  settings.Encoding = DetectEncoding(bytes);
  if (settings.Encoding == SettingsEncoding::Utf8WithMark) bytes.remove_prefix(kByteOrderMark.size());
  const auto lines = FileLines(bytes);
  settings.UseReader = ReadSwitch(lines, 1, settings.Encoding, codec, fileName);
  settings.TopOnly = ReadSwitch(lines, 2, settings.Encoding, codec, fileName);
  for (std::size_t i = 2; i < lines.size(); ++i) {
    settings.Acronyms.Add(DecodeLine(lines[i], settings.Encoding, codec, fileName, i + 1));
  }
  if (settings.Encoding == SettingsEncoding::Ansi) settings.TwoWayLines = TwoWayLinesOf(lines, codec);
  return settings;
}

std::string FormatSettings(const Settings& settings, const platform::AnsiCodec& codec) {
  std::string head = std::to_string(settings.UseReader) + "\r\n" +
                     std::to_string(settings.TopOnly) + "\r\n";
  if (settings.Encoding == SettingsEncoding::Ansi) {
    if (auto ansi = AnsiFile(head, settings.Acronyms, codec)) return *std::move(ansi);
  }
  std::string out;
  if (settings.Encoding == SettingsEncoding::Utf8WithMark) out = kByteOrderMark;
  out += head;
  for (const Text& record : settings.Acronyms) {
    out += TextToUtf8(record);
    out += "\r\n";
  }
  return out;
}

void LoadSettings(ProgramState& state, SettingsStore& store,
                  const std::function<void()>& checkReadingItem) {
  store.last_.reset();
  store.lastBytes_.clear();
  state.Acronyms = AcronymList();
  const auto file = store.File();
  const std::string fileName = PathForMessage(file);
  const auto tooBig = [&](std::optional<std::uint64_t> size) {
    return SettingsError("Settings file \"" + fileName + "\" is " +
                         (size ? Grouped(*size) + " bytes, more than" : "more than") + " the " + Limit() +
                         " a settings file may hold; an acronym list takes a few KB. Copy the "
                         "kel.dat that came with Murmuro in its place.");
  };
  // The size first: a huge file is refused without being read. One that grows meanwhile is
  // read no further than one byte past the limit.
  const auto size = store.files_.Size(file);
  if (size && *size > kMaxSettingsFileBytes) throw tooBig(*size);
  const auto bytes = size ? store.files_.Read(file, kMaxSettingsFileBytes + 1) : std::nullopt;
  if (!bytes) {
    throw SettingsError("Settings file \"" + fileName +
                        "\" is missing or cannot be opened. It must sit beside the program.");
  }
  if (bytes->size() > kMaxSettingsFileBytes) throw tooBig(std::nullopt);
  Settings settings = ParseSettings(*bytes, store.codec_, fileName);
  state.UseReader = settings.UseReader;
  state.TopOnly = settings.TopOnly;
  if (state.UseReader == 1 && checkReadingItem) checkReadingItem();
  state.Acronyms = settings.Acronyms;
  store.last_ = std::move(settings);
  store.lastBytes_ = *bytes;
}

void SaveSettings(const ProgramState& state, SettingsStore& store) {
  if (!store.last_) return;
  Settings settings{state.UseReader, state.TopOnly, state.Acronyms, store.last_->Encoding};
  const std::string bytes = FormatSettings(settings, store.codec_);
  const auto file = store.File();
  if (bytes.size() > kMaxSettingsFileBytes) {
    throw SettingsError("Settings file \"" + PathForMessage(file) + "\" was not written: it would be " +
                        Grouped(bytes.size()) + " bytes, more than the " + Limit() +
                        " Murmuro reads back. Remove some acronyms.");
  }
  KeepTwoWayLines(*store.last_, state.Acronyms, bytes, PathForMessage(file));
  const bool keep = ChangedOutside(store.files_, file, store.lastBytes_);
  const std::string error = store.files_.ReplaceAll(file, bytes, keep ? store.Backup() : std::filesystem::path());
  if (!error.empty()) {
    throw SettingsError("Settings file \"" + PathForMessage(file) + "\" could not be written: " + error);
  }
  // Once UTF-8, the file stays UTF-8 for this run; code-page text that needed UTF-8 now has it.
  if (settings.Encoding == SettingsEncoding::Ansi) settings.Encoding = DetectEncoding(bytes);
  if (settings.Encoding == SettingsEncoding::Ansi) {
    settings.TwoWayLines = TwoWayLinesOf(FileLines(bytes), store.codec_);
  }
  store.last_ = std::move(settings);
  store.lastBytes_ = bytes;
}

void SaveChangedSettings(const ProgramState& state, SettingsStore& store) {
  if (!store.last_) return;
  const Settings& last = *store.last_;
  const bool same = state.UseReader == last.UseReader && state.TopOnly == last.TopOnly &&
                    state.Acronyms == last.Acronyms;
  // A file deleted meanwhile is written again: the next start would find none.
  if (same && store.files_.Size(store.File())) return;
  SaveSettings(state, store);
}

}  // namespace murmuro
