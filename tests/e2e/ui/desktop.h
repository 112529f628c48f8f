#pragma once
// The X side of the desktop the program runs on, reached from a test that itself runs under
// Wine: real mouse and keyboard input (xdotool) and pictures of the screen (ImageMagick).
// Wine starts Unix programs but hands back no exit code, so each command runs in a small shell
// script that leaves its status in a file, and the test waits for that file.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

namespace murmuro::e2e {

// Polls `done` every 20 ms until it holds or `waitMs` have passed; its last answer.
template <class Condition>
bool WaitUntil(Condition&& done, DWORD waitMs = 5000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= until) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// The Unix path Wine maps a Windows path to; empty when Wine does not say.
inline std::string UnixPath(const std::filesystem::path& windowsPath) {
  using Convert = char*(CDECL*)(LPCWSTR);
  const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) return {};
  char* unix = convert(windowsPath.wstring().c_str());
  if (!unix) return {};
  std::string path(unix);
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return path;
}

inline std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ShellResult {
  int Status = -1;     // the script's exit status; -1 when it did not finish in time
  std::string Output;  // stdout and stderr together
};

// Runs `script` with /bin/sh on the machine's side, with this process's environment (DISPLAY).
inline ShellResult RunShell(const std::string& script, DWORD waitMs = 20000) {
  // A unique name from the system; the script's folder sits beside that file.
  wchar_t temp[MAX_PATH];
  wchar_t unique[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  ::GetTempFileNameW(temp, L"msh", 0, unique);
  const std::filesystem::path marker(unique);
  const auto folder = std::filesystem::path(marker.wstring() + L".d");
  std::filesystem::create_directories(folder);
  const std::string unixFolder = UnixPath(folder);
  ShellResult result;
  if (unixFolder.empty()) {
    result.Output = "no Unix path for " + folder.string();
    return result;
  }
  {
    std::ofstream out(folder / "run.sh", std::ios::binary);
    out << "cd '" << unixFolder << "' || exit 1\n"
        << "( " << script << "\n) >output 2>&1\n"
        << "echo $? >status.tmp && mv status.tmp status\n";
  }
  std::string line = "/bin/sh \"" + unixFolder + "/run.sh\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessA("/bin/sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    result.Output = "/bin/sh did not start: error " + std::to_string(::GetLastError());
  } else {
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    if (WaitUntil([&] { return std::filesystem::exists(folder / "status"); }, waitMs)) {
      result.Status = std::atoi(ReadAll(folder / "status").c_str());
    }
    result.Output = ReadAll(folder / "output");
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::filesystem::remove(marker, ignored);
  return result;
}

// xdotool with `arguments` (real X input: the pointer, clicks, keys); true when it succeeded.
inline bool Xdotool(const std::string& arguments) {
  const ShellResult r = RunShell("/usr/bin/xdotool " + arguments);
  if (r.Status != 0) std::fprintf(stderr, "xdotool %s: %d %s\n", arguments.c_str(), r.Status, r.Output.c_str());
  return r.Status == 0;
}

// Moves the pointer to the screen point and clicks `button` (1 left, 3 right) there.
inline bool ClickAt(POINT at, int button = 1) {
  return Xdotool("mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) + " click " +
                 std::to_string(button));
}

inline POINT CentreOf(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// Where the pictures go: the build's artifacts folder (a Unix path); empty when unset.
inline std::string ArtifactsFolder() {
  const char* folder = std::getenv("MURMURO_ARTIFACTS");
  if (!folder || !*folder) return {};
  std::string path = folder;
  // A Windows-style Z: path is the Unix path behind it.
  if (path.size() > 2 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':') path = path.substr(2);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

// Photographs the screen rectangle into <artifacts>/<name>; the file's Unix path, or nullopt.
inline std::optional<std::string> Screenshot(const RECT& r, const std::string& name) {
  const std::string folder = ArtifactsFolder();
  if (folder.empty()) return std::nullopt;
  const std::string file = folder + "/" + name;
  std::ostringstream script;
  script << "mkdir -p '" << folder << "' && /usr/bin/import -display \"$DISPLAY\" -window root -crop "
         << (r.right - r.left) << "x" << (r.bottom - r.top) << "+" << r.left << "+" << r.top
         << " +repage 'png:" << file << ".tmp' && mv '" << file << ".tmp' '" << file << "'";
  const ShellResult result = RunShell(script.str());
  if (result.Status != 0) {
    std::fprintf(stderr, "screenshot %s: %d %s\n", name.c_str(), result.Status, result.Output.c_str());
    return std::nullopt;
  }
  return file;
}

// How many pixels of `r` (in the picture's own coordinates) are dark: ink, not background.
inline std::optional<long> DarkPixels(const std::string& picture, const RECT& r) {
  std::ostringstream script;
  script << "/usr/bin/convert 'png:" << picture << "' -crop " << (r.right - r.left) << "x" << (r.bottom - r.top)
         << "+" << r.left << "+" << r.top
         << " +repage -colorspace Gray -threshold 50% -negate -format '%[fx:round(mean*w*h)]' info:";
  const ShellResult result = RunShell(script.str());
  if (result.Status != 0 || result.Output.empty()) return std::nullopt;
  return std::atol(result.Output.c_str());
}

// How many distinct colours the picture holds (a blank picture has one or two).
inline std::optional<long> Colours(const std::string& picture) {
  const ShellResult result = RunShell("/usr/bin/identify -format '%k' 'png:" + picture + "'");
  if (result.Status != 0 || result.Output.empty()) return std::nullopt;
  return std::atol(result.Output.c_str());
}

}  // namespace murmuro::e2e
