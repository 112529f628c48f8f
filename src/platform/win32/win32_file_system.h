#pragma once
// The settings file's storage on Windows: write a temporary file beside the target, flush it,
// then replace the target in one step.
#include <functional>
#include <string_view>

#include "platform/file_system.h"

namespace murmuro::win32 {

class Win32FileSystem final : public platform::FileSystem {
 public:
  // Called at each stage of a replacement ("opened", "written", "flushed", and "swap" before
  // each try of the last step); returning false makes that stage fail. Lets tests break a save
  // part-way, or let go of a file they hold at a known try.
  using StageHook = std::function<bool(std::string_view stage)>;
  // The last step: puts `temp` in the place of `file`, and with a `backup` path moves the old
  // file there in the same step. 0, or the Windows error. Tests put a failing one in its place.
  using Swap = std::function<unsigned long(const std::filesystem::path& file, const std::filesystem::path& temp,
                                           const std::filesystem::path& backup)>;

  Win32FileSystem() = default;
  explicit Win32FileSystem(StageHook hook, Swap swap = {}) : hook_(std::move(hook)), swap_(std::move(swap)) {}

  std::optional<std::uint64_t> Size(const std::filesystem::path& file) override;
  std::optional<std::string> Read(const std::filesystem::path& file, std::uint64_t maxBytes) override;
  std::string ReplaceAll(const std::filesystem::path& file, std::string_view bytes,
                         const std::filesystem::path& backup = {}) override;

 private:
  bool Stage(std::string_view stage) const { return !hook_ || hook_(stage); }
  unsigned long SwapIn(const std::filesystem::path& file, const std::filesystem::path& temp,
                       const std::filesystem::path& backup) const;
  std::string PutBack(const std::filesystem::path& file, const std::filesystem::path& backup,
                      std::uint64_t size);
  StageHook hook_;
  Swap swap_;
};

}  // namespace murmuro::win32
