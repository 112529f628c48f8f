#pragma once
// A real settings file in a temporary folder of its own, removed with the folder.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/cp1252_codec.h"
#include "core/settings.h"
#include "platform/posix/posix_file_system.h"

namespace murmuro::testing {

class SettingsFolder {
 public:
  explicit SettingsFolder(PosixFileSystem::StageHook hook = {}) : files_(std::move(hook)) {
    std::string pattern = (std::filesystem::temp_directory_path() / "murmuro-ui-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
    folder_ = pattern;
  }
  SettingsFolder(const SettingsFolder&) = delete;
  SettingsFolder& operator=(const SettingsFolder&) = delete;
  ~SettingsFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  SettingsStore Store() { return SettingsStore{folder_, files_, codec_}; }

  void Write(const std::string& bytes) const {
    std::ofstream(folder_ / std::string(kSettingsFileName), std::ios::binary) << bytes;
  }
  std::string Read() const {
    std::ifstream in(folder_ / std::string(kSettingsFileName), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::filesystem::path folder_;
  PosixFileSystem files_;
  Cp1252Codec codec_;
};

// A file system whose saves fail part-way: the old file must stay whole.
inline PosixFileSystem::StageHook FailingWrites() {
  return [](std::string_view stage) { return stage != "written"; };
}

}  // namespace murmuro::testing
