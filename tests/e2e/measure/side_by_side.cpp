// The side-by-side figure: one client with unchanged conversations, read in turn by the plain
// reader doing the full exchange, the plain reader doing the least exchange, and murmuro.exe,
// each alone for the same time, in rounds. Each reader keeps its lower figure of the rounds: one
// short sample is noisier than the differences looked for.
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "e2e/measure/latency.h"
#include "e2e/measure/runs.h"
#include "e2e/measure/support.h"
#include "e2e/support/murmuro_run.h"
#include "fixtures/im_client/control.h"
#include "platform/win32/handles.h"

namespace murmuro::measure {
namespace {

using im_client::ClientProcess;

struct Reader {
  std::string name;     // as the table shows it
  std::string exe;      // the file name the script looks for in /proc
  std::wstring mode;    // the yardstick's --mode; empty for murmuro.exe
};

struct Figure {
  double reader = 0;
  double client = 0;
  double server = 0;
  double machine = 0;  // all cores together, so up to 100 % times the cores
  double readsPerSecond = 0;
  double capturesPerSecond = 0;
};

// A yardstick.exe running in the background, ended through its window.
class Yardstick {
 public:
  explicit Yardstick(const std::wstring& mode) {
    const std::wstring exe = e2e::HostPath("MURMURO_YARDSTICK").wstring();
    std::wstring line = L"\"" + exe + L"\" --mode " + mode;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (exe.empty() ||
        !CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
      Fail("yardstick.exe did not start");
    }
    process_.reset(info.hProcess);
    win32::UniqueKernelHandle thread(info.hThread);
    id_ = info.dwProcessId;
  }
  Yardstick(const Yardstick&) = delete;
  Yardstick& operator=(const Yardstick&) = delete;
  ~Yardstick() {
    if (HWND window = e2e::ProcessWindow(id_, L"MurmuroYardstick")) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) {
      std::cerr << "compare: yardstick.exe did not end on WM_CLOSE; terminated" << std::endl;
      TerminateProcess(process_.get(), 1);
    }
  }

 private:
  win32::UniqueKernelHandle process_;
  DWORD id_ = 0;
};

std::string Percent(double value) { return Fixed(value, 2) + " %"; }

std::string Ratio(double over, double under) { return under > 0 ? Fixed(over / under, 2) : std::string("n/a"); }

// Runs `reader` over the client's views until it reads steadily, then measures `seconds`.
// For murmuro.exe, also the latency of new lines afterwards when `latency` is given.
Figure MeasureReader(const Reader& reader, const ClientProcess& client, const Options& o, const std::string& label,
                     std::optional<Latency>* latency, std::mt19937& random) {
  std::unique_ptr<Yardstick> yardstick;
  std::unique_ptr<e2e::MurmuroRun> run;
  const long before = Requests(client);
  if (reader.mode.empty()) {
    run = std::make_unique<e2e::MurmuroRun>(DefaultSettings());
    if (!run->Start()) Fail("murmuro.exe did not start");
  } else {
    yardstick = std::make_unique<Yardstick>(reader.mode);
  }
  // Two passes over every view, then a little more: the scan and the first proxies are behind.
  if (!WaitUntil([&] { return Requests(client) >= before + 2 * o.conversations; }, 60000, 50)) {
    Fail(reader.name + " did not read the conversations");
  }
  Sleep(2000);
  const long reads = Reads(client);
  const long requests = Requests(client);
  const Sample start = MustSample(label + "-start", reader.exe);
  Sleep(static_cast<DWORD>(o.seconds) * 1000);
  const Sample end = MustSample(label + "-end", reader.exe);
  const double seconds = static_cast<double>(end.wallNs - start.wallNs) / 1e9;
  Figure f;
  f.reader = CpuPercent(start.programTicks, end.programTicks, start, end);
  f.client = CpuPercent(start.clientTicks, end.clientTicks, start, end);
  f.server = CpuPercent(start.serverTicks, end.serverTicks, start, end);
  f.machine = CpuPercent(start.machineTicks, end.machineTicks, start, end);
  f.readsPerSecond = static_cast<double>(Reads(client) - reads) / seconds;
  f.capturesPerSecond = static_cast<double>(Requests(client) - requests) / seconds;
  if (run && latency) {
    *latency = MeasureLatency(client, *run, LastListed(client, o.conversations), o.lines, random);
  }
  if (run) {
    run->Close();
    if (run->WaitForExit(30000) != std::optional<DWORD>(0)) std::cerr << "compare: murmuro.exe did not exit cleanly" << std::endl;
  }
  return f;
}

}  // namespace

int RunCompare(const Options& o) {
  if (!e2e::RegisterRecordingVoice()) Fail("cannot register the recording voice");
  const auto folder = std::filesystem::temp_directory_path() / ("murmuro-compare-" + std::to_string(GetCurrentProcessId()));
  std::filesystem::create_directories(folder);
  auto client = LoadedClient(folder, L"measure-compare", o.conversations, o.kilobytes);
  std::mt19937 random(20240601);
  const std::vector<Reader> readers = {
      {"(a) yardstick, full exchange", "yardstick.exe", L"full"},
      {"(b) yardstick, least exchange", "yardstick.exe", L"least"},
      {"(c) murmuro.exe", "murmuro.exe", L""},
  };
  std::cout << "compare: " << o.conversations << " unchanged conversations of " << o.kilobytes << " KB, "
            << o.seconds << " s per reader, " << o.rounds << " rounds; CPU in % of one core" << std::endl;
  Row({"reader", "round", "reader CPU", "client CPU", "wineserver CPU", "text reads/s", "captures/s",
       "machine CPU"});
  Row({"---", "---", "---", "---", "---", "---", "---", "---"});
  std::vector<Figure> best(readers.size());
  std::optional<Latency> latency;
  for (int round = 1; round <= o.rounds; ++round) {
    for (std::size_t r = 0; r < readers.size(); ++r) {
      const bool last = round == o.rounds && r + 1 == readers.size();
      const Figure f = MeasureReader(readers[r], *client, o, "r" + std::to_string(round) + "-" + std::to_string(r),
                                     last ? &latency : nullptr, random);
      Row({readers[r].name, std::to_string(round), Percent(f.reader), Percent(f.client), Percent(f.server),
           Fixed(f.readsPerSecond, 1), Fixed(f.capturesPerSecond, 1), Percent(f.machine)});
      Figure& b = best[r];
      if (round == 1) {
        b = f;
      } else {
        b.reader = std::min(b.reader, f.reader);
        b.client = std::min(b.client, f.client);
        b.server = std::min(b.server, f.server);
      }
      Sleep(1000);
    }
  }
  std::cout << std::endl;
  // Each column's lower figure, whichever round it came from.
  Row({"reader (lower of the rounds)", "reader CPU", "client CPU", "wineserver CPU"});
  Row({"---", "---", "---", "---"});
  for (std::size_t r = 0; r < readers.size(); ++r) {
    Row({readers[r].name, Percent(best[r].reader), Percent(best[r].client), Percent(best[r].server)});
  }
  std::cout << std::endl;
  if (latency) std::cout << "murmuro.exe latency, line to speech: " << LatencyText(*latency) << " (target <= 1100 ms)" << std::endl;
  const Figure& a = best[0];
  const Figure& b = best[1];
  const Figure& c = best[2];
  std::cout << "ratio (b)/(a): reader " << Ratio(b.reader, a.reader) << ", client " << Ratio(b.client, a.client) << std::endl;
  std::cout << "ratio (c)/(b): reader " << Ratio(c.reader, b.reader) << ", client " << Ratio(c.client, b.client)
            << " (target <= 0.30 reader, <= 0.15 client)" << std::endl;
  std::cout << "ratio (c)/(a): reader " << Ratio(c.reader, a.reader) << ", client " << Ratio(c.client, a.client)
            << std::endl;
  client.reset();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}

}  // namespace murmuro::measure
