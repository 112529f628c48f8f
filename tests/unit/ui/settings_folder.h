#pragma once
// A real settings file in a temporary folder of its own, removed with the folder.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/cp1252_codec.h"
#include "core/settings.h"
#include "support/native_file_system.h"
#include "support/temp_folder.h"

namespace murmuro::testing {

class SettingsFolder {
 public:
  explicit SettingsFolder(NativeFileSystem::StageHook hook = {})
      : folder_(temp_.path()), files_(std::move(hook)) {}
  SettingsFolder(const SettingsFolder&) = delete;
  SettingsFolder& operator=(const SettingsFolder&) = delete;

  SettingsStore Store() { return SettingsStore{folder_, files_, codec_}; }

  void Write(const std::string& bytes) const {
    std::ofstream(folder_ / std::string(kSettingsFileName), std::ios::binary) << bytes;
  }
  std::string Read() const {
    std::ifstream in(folder_ / std::string(kSettingsFileName), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  TempFolder temp_;
  std::filesystem::path folder_;
  NativeFileSystem files_;
  Cp1252Codec codec_;
};

// A file system whose saves fail part-way: the old file must stay whole.
inline NativeFileSystem::StageHook FailingWrites() {
  return [](std::string_view stage) { return stage != "written"; };
}

}  // namespace murmuro::testing
