#pragma once
// What the reading tests need beside MurmuroRun: waiting for conditions, telling when the
// program has looked at a client's views, the tray icon and popup menu as the shell sees them,
// and the message box of a failed start.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "e2e/support/murmuro_run.h"
#include "fixtures/im_client/control.h"

namespace murmuro::e2e::reading {

// Settings with reading on, active-window-only off and one acronym.
inline constexpr char kReadingOn[] = "1\r\n0\r\nlol,laughing out loud\r\n";

// Polls `done` every 20 ms until it holds or `waitMs` have passed; its last answer.
template <class Condition>
bool WaitUntil(Condition&& done, DWORD waitMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= until) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

inline std::vector<std::string> Texts(const std::vector<Spoken>& spoken) {
  std::vector<std::string> texts;
  for (const Spoken& s : spoken) texts.push_back(s.Text);
  return texts;
}

// The transcript as a failure message shows it: one entry a line, with its time.
inline std::string Describe(const std::vector<Spoken>& spoken) {
  std::string out;
  for (const Spoken& s : spoken) {
    out += std::to_string(s.TimeMs) + " " + std::to_string(s.Flags) + " [";
    for (const char c : s.Text) out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    out += "]\n";
  }
  return out;
}

// A client started for one test, named after it so no two tests share an instance.
inline std::unique_ptr<im_client::ClientProcess> LaunchClient(const std::string& name) {
  return im_client::ClientProcess::Launch(im_client::ClientExecutable(),
                                          std::wstring(name.begin(), name.end()));
}

// How many captures the program has made of a client's views: a capture either reads the body's
// text or, when it keeps the document, asks for its element count first and ends there when
// nothing changed (a change costs both). Counted when they are answered: a first capture counts
// once its text has been read.
class CaptureCount {
 public:
  explicit CaptureCount(const im_client::ClientProcess& client) : client_(client), base_(Reads()) {}

  // Waits for n captures since construction (or the last Restart).
  bool WaitFor(long n, DWORD waitMs) const {
    return WaitUntil([&] { return Reads() >= base_ + n; }, waitMs);
  }
  void Restart() { base_ = Reads(); }

 private:
  long Reads() const { return static_cast<long>(client_.Send("reads") + client_.Send("probes")); }

  const im_client::ClientProcess& client_;
  long base_;
};

// NIM_MODIFY that changes nothing: the shell says yes only for an icon it holds.
inline bool TrayIconExists(HWND window) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = window;
  data.uID = 1;
  return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// The first visible top-level window of the process with this class (and caption, if given).
inline HWND FindProcessWindow(DWORD processId, const wchar_t* cls, const wchar_t* caption = nullptr) {
  struct Search {
    DWORD pid;
    const wchar_t* cls;
    const wchar_t* caption;
    HWND found;
  } search{processId, cls, caption, nullptr};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid != s->pid || !IsWindowVisible(w)) return TRUE;
        wchar_t text[256] = {};
        if (!GetClassNameW(w, text, 256) || std::wstring(text) != s->cls) return TRUE;
        if (s->caption && (GetWindowTextW(w, text, 256), std::wstring(text) != s->caption)) return TRUE;
        s->found = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// True when top-level window `upper` comes before `lower` in the window system's enumeration
// order, which is the order of the program's list of conversations.
inline bool EnumeratedBefore(HWND upper, HWND lower) {
  for (HWND w = GetWindow(upper, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w == lower) return true;
  }
  return false;
}

// A window handle as the client replies it.
inline HWND ToHwnd(LRESULT reply) {
  return reply > 0 ? static_cast<HWND>(LongToHandle(static_cast<LONG>(reply))) : nullptr;
}

// Opens the tray icon's popup menu as a right click on the icon does, and chooses the item
// reached by `downs` presses of the down key (1: the first item).
inline ::testing::AssertionResult ChooseTrayMenuItem(const MurmuroRun& run, int downs) {
  PostMessageW(run.Window(), 512, 0, WM_RBUTTONUP);
  HWND menu = nullptr;
  if (!WaitUntil([&] { return (menu = FindProcessWindow(run.ProcessId(), L"#32768")) != nullptr; }, 5000)) {
    return ::testing::AssertionFailure() << "the popup menu did not open";
  }
  for (int i = 0; i < downs; ++i) {
    PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 1);
    PostMessageW(menu, WM_KEYUP, VK_DOWN, static_cast<LPARAM>(0xC0000001u));
  }
  PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 1);
  PostMessageW(menu, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC0000001u));
  if (!WaitUntil([&] { return !FindProcessWindow(run.ProcessId(), L"#32768"); }, 5000)) {
    return ::testing::AssertionFailure() << "the popup menu did not close";
  }
  return ::testing::AssertionSuccess();
}

inline std::string Narrow(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// Starts the program and waits until its first scan has captured every view of the clients
// (given with their view counts) and its icon is in the tray: from then on a line is new.
inline ::testing::AssertionResult StartReading(
    MurmuroRun& run, const std::vector<std::pair<const im_client::ClientProcess*, long>>& clients) {
  std::vector<CaptureCount> counts;
  for (const auto& [client, views] : clients) counts.emplace_back(*client);
  if (!run.Start()) {
    const auto code = run.WaitForExit(0);
    return ::testing::AssertionFailure() << "murmuro.exe did not start; exit code "
                                         << (code ? std::to_string(*code) : std::string("none: it runs"));
  }
  for (std::size_t i = 0; i < clients.size(); ++i) {
    if (!counts[i].WaitFor(clients[i].second, 10000)) {
      return ::testing::AssertionFailure() << "the first scan did not capture client " << i << "'s views";
    }
  }
  if (!WaitUntil([&] { return TrayIconExists(run.Window()); }, 5000)) {
    return ::testing::AssertionFailure() << "no tray icon after start-up";
  }
  return ::testing::AssertionSuccess();
}

// Every test registers the recording voice in its own prefix first.
class ReadingTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(RegisterRecordingVoice()); }
};

}  // namespace murmuro::e2e::reading
