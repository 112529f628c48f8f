#pragma once
// Runs the real murmuro.exe for an end-to-end test: a folder of its own with a kel.dat, the
// recording voice registered in place of the system voice, and the transcript it writes.
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/handles.h"

namespace murmuro::e2e {

// The class id of the system's speech voice, which the recording voice stands in for.
inline constexpr wchar_t kVoiceClassKey[] =
    L"Software\\Classes\\CLSID\\{96749377-3391-11D2-9EE3-00C04F797396}\\InprocServer32";
inline constexpr wchar_t kMainWindowClass[] = L"MurmuroMain";

// Wine shows the Unix root as drive Z:; a Windows path stays as it is.
inline std::filesystem::path HostPath(const char* variable) {
  const char* value = std::getenv(variable);
  if (!value || !*value) return {};
  std::string path = value;
  if (path.front() == '/') path = "Z:" + path;
  return std::filesystem::path(path);
}

// Registers the recording voice for this machine (the test's own Wine prefix). Wine honours
// the class registration under HKLM only.
inline bool RegisterRecordingVoice() {
  const std::wstring dll = HostPath("MURMURO_RECORDING_VOICE").wstring();
  if (dll.empty()) return false;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kVoiceClassKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const wchar_t both[] = L"Both";
  const bool ok =
      RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(dll.c_str()),
                     static_cast<DWORD>((dll.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS &&
      RegSetValueExW(key, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(both),
                     sizeof both) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

// One Speak as the recording voice wrote it.
struct Spoken {
  std::uint64_t TimeMs = 0;
  std::uint32_t Flags = 0;
  std::string Text;  // UTF-8, with the CR LF the phrase holds
};

inline std::vector<Spoken> ReadTranscript(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<Spoken> out;
  std::string line;
  while (std::getline(in, line)) {
    const auto tab1 = line.find('\t');
    const auto tab2 = line.find('\t', tab1 + 1);
    if (tab1 == std::string::npos || tab2 == std::string::npos) continue;
    Spoken s;
    s.TimeMs = std::stoull(line.substr(0, tab1));
    s.Flags = static_cast<std::uint32_t>(std::stoul(line.substr(tab1 + 1, tab2 - tab1 - 1)));
    const std::string escaped = line.substr(tab2 + 1);
    for (std::size_t i = 0; i < escaped.size(); ++i) {
      if (escaped[i] != '\\' || i + 1 == escaped.size()) {
        s.Text.push_back(escaped[i]);
        continue;
      }
      const char c = escaped[++i];
      s.Text.push_back(c == 'r' ? '\r' : c == 'n' ? '\n' : c);
    }
    out.push_back(std::move(s));
  }
  return out;
}

// Everything a message box says: the texts of its static controls, one a line.
inline std::wstring MessageBoxText(HWND box) {
  std::wstring text;
  EnumChildWindows(
      box,
      [](HWND w, LPARAM p) -> BOOL {
        wchar_t cls[32] = {};
        GetClassNameW(w, cls, 32);
        if (std::wstring(cls) != L"Static") return TRUE;
        wchar_t buffer[2048] = {};
        GetWindowTextW(w, buffer, 2048);
        *reinterpret_cast<std::wstring*>(p) += std::wstring(buffer) + L"\n";
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

// Milliseconds since 1970, the clock of the transcript.
inline std::uint64_t NowMs() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  const std::uint64_t t = (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return (t - 116444736000000000ULL) / 10000ULL;
}

// The first top-level window of process `processId` with class `cls`, shown or not; or null.
inline HWND ProcessWindow(DWORD processId, const wchar_t* cls) {
  struct Search {
    DWORD pid;
    const wchar_t* cls;
    HWND found;
  } search{processId, cls, nullptr};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        wchar_t name[64];
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == s->pid && GetClassNameW(w, name, 64) && std::wstring(name) == s->cls) {
          s->found = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class MurmuroRun {
 public:
  // A fresh folder with murmuro.exe and `settings` as kel.dat (nullopt: no kel.dat at all).
  explicit MurmuroRun(const std::optional<std::string>& settings) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::filesystem::path(temp) / ("murmuro-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
                                             std::to_string(++Counter()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    std::filesystem::copy_file(HostPath("MURMURO_EXE"), folder_ / "murmuro.exe");
    if (settings) std::ofstream(folder_ / "kel.dat", std::ios::binary) << *settings;
  }
  // Runs `exe` where it stands, with whatever kel.dat is beside it; the folder is left as found
  // (but for the transcript).
  MurmuroRun(std::nullopt_t, const std::filesystem::path& exe)
      : folder_(exe.parent_path()), exe_(exe), ownsFolder_(false) {}
  MurmuroRun(const MurmuroRun&) = delete;
  MurmuroRun& operator=(const MurmuroRun&) = delete;
  ~MurmuroRun() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      Close();
      if (WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0) {
        // The end comes after TerminateProcess returns; until then the copy holds the one-copy
        // name, and the next case's copy would only say it is already running.
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 10000);
      }
    }
    process_.reset();
    std::error_code ignored;
    if (ownsFolder_) {
      std::filesystem::remove_all(folder_, ignored);
    } else {
      std::filesystem::remove(Transcript(), ignored);
    }
  }

  // Starts the program; true once its main window exists (its start-up has run).
  bool Start(DWORD waitMs = 20000) {
    SetEnvironmentVariableW(L"MURMURO_TRANSCRIPT", Transcript().c_str());
    const std::wstring exe = (exe_.empty() ? folder_ / "murmuro.exe" : exe_).wstring();
    std::wstring line = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(),
                        &startup, &info)) {
      return false;
    }
    process_.reset(info.hProcess);
    win32::UniqueKernelHandle thread(info.hThread);
    processId_ = info.dwProcessId;
    for (DWORD waited = 0; waited < waitMs; waited += 20) {
      window_ = MainWindow();
      if (window_) return true;
      if (WaitForSingleObject(process_.get(), 20) == WAIT_OBJECT_0) return false;
    }
    return false;
  }

  // The hidden main window of this run's process, or null.
  HWND MainWindow() const { return ProcessWindow(processId_, kMainWindowClass); }

  // Asks the program to end as the menu's Exit does (WM_CLOSE on its main window).
  void Close() const {
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
  }

  // The exit code once the process has ended within `waitMs`, else nullopt.
  std::optional<DWORD> WaitForExit(DWORD waitMs = 10000) const {
    if (!process_ || WaitForSingleObject(process_.get(), waitMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
  }

  // Waits until the transcript holds at least `count` entries (or `waitMs` passed).
  std::vector<Spoken> WaitForSpoken(std::size_t count, DWORD waitMs = 5000) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
      auto spoken = Transcribed();
      if (spoken.size() >= count || std::chrono::steady_clock::now() >= until) return spoken;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  std::vector<Spoken> Transcribed() const { return ReadTranscript(Transcript()); }

  std::string Settings() const {
    std::ifstream in(folder_ / "kel.dat", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::filesystem::path Transcript() const { return folder_ / "transcript.txt"; }
  const std::filesystem::path& Folder() const { return folder_; }
  HWND Window() const { return window_; }
  HANDLE Process() const { return process_.get(); }
  DWORD ProcessId() const { return processId_; }

 private:
  static int& Counter() {
    static int counter = 0;
    return counter;
  }

  std::filesystem::path folder_;
  std::filesystem::path exe_;  // empty: the copy in folder_
  bool ownsFolder_ = true;
  win32::UniqueKernelHandle process_;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
};

}  // namespace murmuro::e2e
