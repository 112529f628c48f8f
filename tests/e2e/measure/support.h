#pragma once
// What every measuring run needs: its options, clocks and waits, the conversations it loads into
// the sample client, and the table it prints.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/measure/probe.h"
#include "e2e/support/murmuro_run.h"
#include "fixtures/im_client/control.h"

namespace murmuro::measure {

using e2e::NowMs;

struct Options {
  enum class Mode { kTable, kSoak, kCompare, kGrowth } mode = Mode::kTable;
  int seconds = 60;
  int ticks = 10000;
  int lines = 20;
  int conversations = 10;
  int kilobytes = 64;
  int tickKilobytes = 1;   // the conversations' size while ticks are driven fast
  bool sendTicks = false;  // SendMessage instead of PostMessage
  int minutes = 5;         // the soak's length
  int rounds = 2;          // the side-by-side figure's
  int largeKilobytes = 256;  // the growth figure's long conversations
  int largestKilobytes = 1024;  // and its longest
};

template <class Condition>
bool WaitUntil(Condition&& done, DWORD waitMs, DWORD stepMs = 5) {
  const ULONGLONG until = GetTickCount64() + waitMs;
  while (!done()) {
    if (GetTickCount64() >= until) return false;
    Sleep(stepMs);
  }
  return true;
}

[[noreturn]] inline void Fail(const std::string& why) {
  std::cout << "measure: " << why << std::endl;
  std::exit(1);
}

// `program`: the executable whose CPU and memory the script reports as the program's.
inline Sample MustSample(const std::string& label, const std::string& program = "murmuro.exe") {
  const auto s = TakeSample(label, program);
  if (!s) Fail("no answer to ?sample " + label + " " + program + " (run this through scripts/measure)");
  return *s;
}

// Text reads the client has answered, all views together; -1 when it does not answer in time.
inline long Reads(const im_client::ClientProcess& client, UINT timeoutMs = 60000) {
  return static_cast<long>(client.Send("reads", timeoutMs));
}

// Document requests the client has answered, all views together: one per capture of any reader.
inline long Requests(const im_client::ClientProcess& client) { return static_cast<long>(client.Send("requests")); }

// The program's looks at conversations it does not read: element counts and checks of the end.
inline long Looks(const im_client::ClientProcess& client) {
  return static_cast<long>(client.Send("probes") + client.Send("checks"));
}

// Until every conversation has been read in full once, then looked at once more: by a probe or a
// check for the program (`looks`), by another read for a plain reader. False when that takes
// longer than `waitMs` (each).
inline bool WarmedUp(const im_client::ClientProcess& client, long readsBefore, int conversations, bool looks,
                     DWORD waitMs) {
  if (!WaitUntil([&] { return Reads(client) >= readsBefore + conversations; }, waitMs, 50)) return false;
  const auto count = [&] { return looks ? Looks(client) : Reads(client); };
  const long now = count();
  return WaitUntil([&] { return count() >= now + conversations; }, waitMs, 50);
}

// A conversation of about `kilobytes` KB in the client's escapes: lines "userN: ..." joined by CR LF.
inline std::string ConversationText(int n, int kilobytes) {
  std::string text;
  const std::size_t size = static_cast<std::size_t>(kilobytes) * 1024;
  for (int line = 1; text.size() < size; ++line) {
    if (line > 1) text += "\\r\\n";
    text += "user" + std::to_string(n) + ": message " + std::to_string(line) +
            " of a long conversation, kept to see what a large text costs each tick";
  }
  return text;
}

// A client with conversations c1..cN ("IM with userN"), each complete before it can be read.
// `options` go on its command line.
inline std::unique_ptr<im_client::ClientProcess> LoadedClient(const std::filesystem::path& folder,
                                                              const std::wstring& name, int conversations,
                                                              int kilobytes, const std::wstring& options = L"") {
  const auto script = folder / (name + L".txt");
  {
    std::ofstream out(script, std::ios::binary);
    for (int n = 1; n <= conversations; ++n) {
      out << "open c" << n << " title=IM with user" << n << "\n";
      out << "set c" << n << " 1 text=" << ConversationText(n, kilobytes) << "\n";
    }
  }
  auto client = im_client::ClientProcess::Launch(im_client::ClientExecutable(), name,
                                                 L"--script \"" + script.wstring() + L"\" " + options);
  if (!client) Fail("the loaded client did not start");
  const std::string last = "hwnd c" + std::to_string(conversations);
  if (!WaitUntil([&] { return client->Send(last) > 0; }, 30000, 50)) Fail("the conversations did not open");
  return client;
}

// The kel.dat the build puts beside murmuro.exe.
inline std::string DefaultSettings() {
  std::ifstream in(e2e::HostPath("MURMURO_EXE").parent_path() / "kel.dat", std::ios::binary);
  if (!in) Fail("no default kel.dat beside murmuro.exe");
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The conversation the program visits last in a tick: the last of them in the window system's
// enumeration order, which its scan followed.
inline std::string LastListed(const im_client::ClientProcess& client, int conversations) {
  std::vector<HWND> windows;
  for (int n = 1; n <= conversations; ++n) {
    const LRESULT reply = client.Send("hwnd c" + std::to_string(n));
    windows.push_back(reply > 0 ? static_cast<HWND>(LongToHandle(static_cast<LONG>(reply))) : nullptr);
  }
  std::string last = "c1";
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    const auto found = std::find(windows.begin(), windows.end(), w);
    if (found != windows.end()) last = "c" + std::to_string(found - windows.begin() + 1);
  }
  return last;
}

inline std::string Fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

inline void Row(const std::vector<std::string>& cells) {
  std::cout << "|";
  for (const auto& cell : cells) std::cout << " " << cell << " |";
  std::cout << std::endl;
}

inline void Row(const std::string& what, const std::string& measured, const std::string& target) {
  Row({what, measured, target});
}

inline std::string CpuText(std::uint64_t Sample::*field, const Sample& before, const Sample& after) {
  return Fixed(CpuPercent(before.*field, after.*field, before, after), 2) + " % of one core";
}

}  // namespace murmuro::measure
