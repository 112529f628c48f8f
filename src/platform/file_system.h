#pragma once
// Whole-file reads and safe whole-file replacement for the settings file.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace murmuro::platform {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The file's size in bytes, without reading it; nullopt when it is missing or not a file.
  virtual std::optional<std::uint64_t> Size(const std::filesystem::path& file) = 0;
  // The file's bytes, but no more than `maxBytes` of them, read through one open handle (a file
  // that grows meanwhile costs no more); nullopt when it is missing or cannot be opened or read.
  virtual std::optional<std::string> Read(const std::filesystem::path& file, std::uint64_t maxBytes) = 0;
  // Writes `bytes` to a temporary file in the same folder, flushes it to disk and then
  // replaces `file` with it in one step. On failure the old file is left as it was and the
  // returned text says what went wrong; an empty text means success. With a `backup` path (in
  // the same folder), the file that is replaced becomes that file in the same step, in place of
  // any earlier one; a failure then keeps the old file in its place too, or, where Windows failed
  // after moving it to the backup name and it could not be put back, says where it is.
  virtual std::string ReplaceAll(const std::filesystem::path& file, std::string_view bytes,
                                 const std::filesystem::path& backup = {}) = 0;
};

}  // namespace murmuro::platform
