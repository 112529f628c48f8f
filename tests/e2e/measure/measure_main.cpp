// murmuro_measure.exe: runs the real program beside the sample client and the recording voice
// and measures what it costs. Started by scripts/measure, which answers its "?sample" requests
// with figures from /proc. Three runs:
//   (default)   CPU with no conversation and with many large ones, memory over many ticks, and
//               how long a new line takes to reach the voice;
//   --soak      lines arriving for minutes while every core is busy: each spoken once, memory;
//   --compare   CPU of the program beside two plain readers over the same conversations;
//   --growth    CPU of the program over short and long conversations, beside a plain reader.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>

#include "e2e/measure/latency.h"
#include "e2e/measure/runs.h"
#include "e2e/measure/support.h"
#include "e2e/support/murmuro_run.h"
#include "fixtures/im_client/control.h"

namespace murmuro::measure {
namespace {

using e2e::MurmuroRun;
using im_client::ClientProcess;

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--soak") o.mode = Options::Mode::kSoak;
    if (name == "--compare") o.mode = Options::Mode::kCompare;
    if (name == "--growth") o.mode = Options::Mode::kGrowth;
  }
  // The other runs look at a few KB, as a chat usually holds.
  if (o.mode == Options::Mode::kSoak) o.kilobytes = 3;
  if (o.mode == Options::Mode::kCompare) {
    o.kilobytes = 3;
    o.seconds = 30;
    o.lines = 10;
  }
  if (o.mode == Options::Mode::kGrowth) {
    o.kilobytes = 3;
    o.rounds = 3;
  }
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--send-ticks") {
      o.sendTicks = true;
      continue;
    }
    if (name == "--soak" || name == "--compare" || name == "--growth") continue;
    if (i + 1 >= argc) break;
    const int value = std::max(1, std::atoi(argv[++i]));
    if (name == "--seconds") o.seconds = value;
    else if (name == "--ticks") o.ticks = value;
    else if (name == "--lines") o.lines = value;
    else if (name == "--conversations") o.conversations = value;
    else if (name == "--kilobytes") o.kilobytes = value;
    else if (name == "--tick-kilobytes") o.tickKilobytes = value;
    else if (name == "--minutes") o.minutes = value;
    else if (name == "--rounds") o.rounds = value;
    else if (name == "--large-kilobytes") o.largeKilobytes = value;
    else if (name == "--largest-kilobytes") o.largestKilobytes = value;
  }
  return o;
}

// The program's captures of its views: a full read each (with a document request), or a look at
// one it does not read (a probe, and at the interval a check as well).
long Captures(const ClientProcess& client) { return Reads(client) + Looks(client); }

// The working set as the process itself reports it (Wine reads it from /proc as well; it leaves
// the private bytes of another process at 0).
std::string WindowsMemory(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters) ||
      counters.WorkingSetSize == 0) {
    return "n/a";
  }
  std::string out = std::to_string(counters.WorkingSetSize / 1024) + " KB working set";
  if (counters.PrivateUsage) out += ", " + std::to_string(counters.PrivateUsage / 1024) + " KB private";
  return out;
}

// Each figure is printed as soon as it is measured, so a run cut short still tells something.
int RunTable(const Options& o) {
  std::mt19937 random(20240601);
  if (!e2e::RegisterRecordingVoice()) Fail("cannot register the recording voice");
  auto client = ClientProcess::Launch(im_client::ClientExecutable(), L"measure-light");
  if (!client) Fail("the sample client did not start");

  MurmuroRun run("1\r\n0\r\nlol,laughing out loud\r\n");
  if (!run.Start()) Fail("murmuro.exe did not start");
  Sleep(3000);
  std::cout << "| figure | measured | target |" << std::endl << "|---|---|---|" << std::endl;

  // 1. Nothing to read: every tick finds no conversation and scans again.
  const Sample idleStart = MustSample("idle-start");
  Sleep(static_cast<DWORD>(o.seconds) * 1000);
  const Sample idleEnd = MustSample("idle-end");
  Row("murmuro.exe CPU, no conversation open, " + std::to_string(o.seconds) + " s",
      CpuText(&Sample::programTicks, idleStart, idleEnd), "< 0.5 %");
  Row("(context) sample client / wineserver CPU meanwhile",
      CpuText(&Sample::clientTicks, idleStart, idleEnd) + " / " + CpuText(&Sample::serverTicks, idleStart, idleEnd),
      "");

  // 2. One small conversation.
  const long before = Captures(*client);
  if (client->Send("open small title=IM with small") <= 0) Fail("open refused");
  if (!WaitUntil([&] { return Captures(*client) > before; }, 10000)) Fail("the small conversation was not found");
  Row("latency, line appended to its transcript entry, 1 small conversation (" + std::to_string(o.lines) + " lines)",
      LatencyText(MeasureLatency(*client, run, "small", o.lines, random)), "<= 1100 ms");
  client->Send("close small");

  // 3. Many large conversations, made by a script so that each is complete before it can be read.
  const auto script = run.Folder() / "conversations.txt";
  {
    std::ofstream out(script, std::ios::binary);
    for (int n = 1; n <= o.conversations; ++n) {
      out << "open c" << n << " title=IM with user" << n << "\n";
      out << "set c" << n << " 1 text=" << ConversationText(n, o.kilobytes) << "\n";
    }
  }
  auto load = ClientProcess::Launch(im_client::ClientExecutable(), L"measure-load",
                                    L"--script \"" + script.wstring() + L"\"");
  if (!load) Fail("the loaded client did not start");
  const long views = o.conversations;
  const std::string many = std::to_string(o.conversations) + " conversations of " + std::to_string(o.kilobytes) + " KB";
  if (!WaitUntil([&] { return Captures(*load) >= 2 * views; }, 60000)) Fail("the conversations were not read");
  const std::string lastListed = LastListed(*load, o.conversations);
  Row("latency, the same, " + lastListed + " (last in the list) of " + many,
      LatencyText(MeasureLatency(*load, run, lastListed, o.lines, random)), "<= 1100 ms");

  const long busyCaptures = Captures(*load);
  const Sample busyStart = MustSample("busy-start");
  Sleep(static_cast<DWORD>(o.seconds) * 1000);
  const Sample busyEnd = MustSample("busy-end");
  const double busyTicks = static_cast<double>(Captures(*load) - busyCaptures) / static_cast<double>(views);
  Row("murmuro.exe CPU, " + many + ", " + std::to_string(o.seconds) + " s",
      CpuText(&Sample::programTicks, busyStart, busyEnd), "< 3 %");
  Row("(context) sample clients / wineserver CPU meanwhile; ticks run",
      CpuText(&Sample::clientTicks, busyStart, busyEnd) + " / " + CpuText(&Sample::serverTicks, busyStart, busyEnd) +
          "; " + Fixed(busyTicks, 0) + " ticks in " + std::to_string(o.seconds) + " s",
      "");

  // 4. Many ticks, driven by WM_TIMER messages to the main window, each waited for. Smaller
  //    conversations keep a tick short enough for thousands of them.
  if (o.tickKilobytes != o.kilobytes) {
    for (int n = 1; n <= o.conversations; ++n) {
      load->Send("set c" + std::to_string(n) + " 1 text=" + ConversationText(n, o.tickKilobytes), 10000);
    }
    const long now = Captures(*load);
    if (!WaitUntil([&] { return Captures(*load) >= now + 2 * views; }, 60000)) Fail("no ticks after the resize");
  }
  const Sample first = MustSample("ticks-start");
  const std::string windowsBefore = WindowsMemory(run.Process());
  std::cerr << "ticks: 0, working set " << first.residentKb << " KB, private " << first.anonymousKb << " KB"
            << std::endl;
  const long base = Captures(*load);
  const ULONGLONG ticksStart = GetTickCount64();
  const long reportEvery = std::max(1, o.ticks / 10);
  long done = 0;
  long nextReport = reportEvery;
  int driven = 0;
  Sample last = first;
  while (done < o.ticks) {
    if (o.sendTicks) {
      DWORD_PTR ignored = 0;
      SendMessageTimeoutW(run.Window(), WM_TIMER, 2, 0, SMTO_NORMAL, 10000, &ignored);
    } else {
      PostMessageW(run.Window(), WM_TIMER, 2, 0);
    }
    ++driven;
    // The tick has captured every view.
    const long want = base + (done + 1) * views;
    if (!WaitUntil([&] { return Captures(*load) >= want; }, 30000, 10)) {
      Fail("murmuro.exe stopped ticking after " + std::to_string(done) + " ticks");
    }
    done = (Captures(*load) - base) / views;
    if (done >= nextReport || done >= o.ticks) {
      last = MustSample("ticks-" + std::to_string(done));
      std::cerr << "ticks: " << done << ", working set " << last.residentKb << " KB, private " << last.anonymousKb
                << " KB" << std::endl;
      nextReport = (done / reportEvery + 1) * reportEvery;
    }
  }
  const double tickMs = static_cast<double>(GetTickCount64() - ticksStart) / static_cast<double>(done);
  Row("memory growth over " + std::to_string(done) + " ticks, " + std::to_string(o.conversations) +
          " conversations of " + std::to_string(o.tickKilobytes) + " KB, from after " + std::to_string(2 * o.seconds) +
          "+ s of running",
      std::to_string(static_cast<long long>(last.residentKb) - static_cast<long long>(first.residentKb)) +
          " KB working set (" + std::to_string(first.residentKb) + " -> " + std::to_string(last.residentKb) + "), " +
          std::to_string(static_cast<long long>(last.anonymousKb) - static_cast<long long>(first.anonymousKb)) +
          " KB private (" + std::to_string(first.anonymousKb) + " -> " + std::to_string(last.anonymousKb) + ")",
      "<= 1024 KB");
  Row("(context) one driven tick; Windows view of the working set",
      Fixed(tickMs, 1) + " ms (" + std::to_string(driven) + " WM_TIMER " + (o.sendTicks ? "sent" : "posted") +
          ", the rest from the program's own timer); " + windowsBefore + " -> " + WindowsMemory(run.Process()),
      "");
  run.Close();
  const auto exitCode = run.WaitForExit(30000);
  std::cout << "murmuro.exe exit code "
            << (exitCode ? std::to_string(*exitCode) : std::string("(did not exit)")) << std::endl;
  return exitCode == std::optional<DWORD>(0) ? 0 : 1;
}

}  // namespace
}  // namespace murmuro::measure

int main(int argc, char** argv) {
  using namespace murmuro::measure;
  const Options o = Parse(argc, argv);
  switch (o.mode) {
    case Options::Mode::kSoak: return RunSoak(o);
    case Options::Mode::kCompare: return RunCompare(o);
    case Options::Mode::kGrowth: return RunGrowth(o);
    case Options::Mode::kTable: break;
  }
  return RunTable(o);
}
