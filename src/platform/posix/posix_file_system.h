#pragma once
// The settings file's storage on POSIX systems: write a temporary file, fsync, rename.
#include <functional>
#include <string_view>

#include "platform/file_system.h"

namespace murmuro {

class PosixFileSystem final : public platform::FileSystem {
 public:
  // Called at each stage of a replacement ("opened", "written", "flushed"); returning false
  // makes that stage fail. Lets tests break a save part-way.
  using StageHook = std::function<bool(std::string_view stage)>;

  PosixFileSystem() = default;
  explicit PosixFileSystem(StageHook hook) : hook_(std::move(hook)) {}

  std::optional<std::uint64_t> Size(const std::filesystem::path& file) override;
  std::optional<std::string> Read(const std::filesystem::path& file, std::uint64_t maxBytes) override;
  std::string ReplaceAll(const std::filesystem::path& file, std::string_view bytes,
                         const std::filesystem::path& backup = {}) override;

 private:
  bool Stage(std::string_view stage) const { return !hook_ || hook_(stage); }
  StageHook hook_;
};

}  // namespace murmuro
