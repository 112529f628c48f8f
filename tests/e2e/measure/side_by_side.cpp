// The side-by-side figure: one client with unchanged conversations, read in turn by the plain
// reader doing the full exchange, the plain reader doing the least exchange, and murmuro.exe,
// each alone for the same time, in rounds. Each reader keeps its lower figure of the rounds: one
// short sample is noisier than the differences looked for.
// The growth figure: the same client's conversations short, read by the least exchange and by
// murmuro.exe, then long, read by murmuro.exe; each figure the median of its rounds.
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
  const long before = Reads(client);
  if (reader.mode.empty()) {
    run = std::make_unique<e2e::MurmuroRun>(DefaultSettings());
    if (!run->Start()) Fail("murmuro.exe did not start");
  } else {
    yardstick = std::make_unique<Yardstick>(reader.mode);
  }
  // A read of every view and a second pass, then a little more: the scan and the first proxies
  // are behind.
  if (!WarmedUp(client, before, o.conversations, reader.mode.empty(), 120000)) {
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

// Every conversation of the client made about `kilobytes` KB long.
void Resize(const ClientProcess& client, int conversations, int kilobytes) {
  for (int n = 1; n <= conversations; ++n) {
    const std::string number = std::to_string(n);
    if (client.Send("set c" + number + " 1 text=" + ConversationText(n, kilobytes), 30000) <= 0) {
      Fail("the client did not take conversation c" + number + " of " + std::to_string(kilobytes) + " KB");
    }
  }
}

std::string Size(int kilobytes) {
  return kilobytes % 1024 == 0 ? std::to_string(kilobytes / 1024) + " MB" : std::to_string(kilobytes) + " KB";
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int RunGrowth(const Options& o) {
  if (!e2e::RegisterRecordingVoice()) Fail("cannot register the recording voice");
  const auto folder = std::filesystem::temp_directory_path() / ("murmuro-growth-" + std::to_string(GetCurrentProcessId()));
  std::filesystem::create_directories(folder);
  auto client = LoadedClient(folder, L"measure-growth", o.conversations, o.kilobytes);
  std::mt19937 random(20240601);
  const std::string small = Size(o.kilobytes);
  const std::string large = Size(o.largeKilobytes);
  const std::string largest = Size(o.largestKilobytes);
  struct Run {
    Reader reader;
    int kilobytes;
    std::string name;
  };
  const Reader least{"(b) yardstick, least exchange", "yardstick.exe", L"least"};
  const Reader murmuro{"(c) murmuro.exe", "murmuro.exe", L""};
  // Ordered so that the conversations are resized three times a round, not before every figure.
  const std::vector<Run> runs = {
      {least, o.kilobytes, least.name + " at " + small},
      {murmuro, o.kilobytes, murmuro.name + " at " + small},
      {murmuro, o.largeKilobytes, murmuro.name + " at " + large},
      {murmuro, o.largestKilobytes, murmuro.name + " at " + largest},
  };
  std::cout << "growth: " << o.conversations << " unchanged conversations of " << small << ", " << large
            << " and " << largest << ", " << o.seconds << " s per figure, " << o.rounds
            << " rounds; CPU in % of one core" << std::endl;
  Row({"reader", "round", "reader CPU", "client CPU", "wineserver CPU", "text reads/s", "captures/s",
       "machine CPU"});
  Row({"---", "---", "---", "---", "---", "---", "---", "---"});
  std::vector<std::vector<Figure>> figures(runs.size());
  int size = o.kilobytes;
  for (int round = 1; round <= o.rounds; ++round) {
    for (std::size_t r = 0; r < runs.size(); ++r) {
      if (runs[r].kilobytes != size) {
        size = runs[r].kilobytes;
        Resize(*client, o.conversations, size);
      }
      const Figure f = MeasureReader(runs[r].reader, *client, o,
                                     "g" + std::to_string(round) + "-" + std::to_string(r), nullptr, random);
      Row({runs[r].name, std::to_string(round), Percent(f.reader), Percent(f.client), Percent(f.server),
           Fixed(f.readsPerSecond, 1), Fixed(f.capturesPerSecond, 1), Percent(f.machine)});
      figures[r].push_back(f);
      Sleep(1000);
    }
  }
  std::cout << std::endl;
  std::vector<Figure> median(runs.size());
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const auto column = [&](double Figure::*field) {
      std::vector<double> values;
      for (const Figure& f : figures[r]) values.push_back(f.*field);
      return Median(std::move(values));
    };
    median[r].reader = column(&Figure::reader);
    median[r].client = column(&Figure::client);
    median[r].server = column(&Figure::server);
  }
  Row({"reader (median of the rounds)", "reader CPU", "client CPU", "wineserver CPU"});
  Row({"---", "---", "---", "---"});
  for (std::size_t r = 0; r < runs.size(); ++r) {
    Row({runs[r].name, Percent(median[r].reader), Percent(median[r].client), Percent(median[r].server)});
  }
  std::cout << std::endl;
  const Figure& b = median[0];
  const Figure& shortRun = median[1];
  const Figure& longRun = median[2];
  const Figure& longestRun = median[3];
  std::cout << "ratio (c) at " << large << " / (c) at " << small << ": reader " << Ratio(longRun.reader, shortRun.reader)
            << ", client " << Ratio(longRun.client, shortRun.client) << ", wineserver "
            << Ratio(longRun.server, shortRun.server) << std::endl;
  std::cout << "ratio (c) at " << large << " / (b) at " << small << ": murmuro.exe " << Ratio(longRun.reader, b.reader)
            << ", client " << Ratio(longRun.client, b.client) << ", wineserver " << Ratio(longRun.server, b.server)
            << " (target <= 0.40 murmuro.exe, <= 0.16 client, <= 0.33 wineserver)" << std::endl;
  const auto growth = [](double over, double under) {
    const double points = over - under;
    return Ratio(over, under) + " (" + (points < 0 ? "-" : "+") + Fixed(points < 0 ? -points : points, 2) + " pp)";
  };
  std::cout << largest << " / " << small << ": murmuro.exe " << growth(longestRun.reader, shortRun.reader)
            << ", client " << growth(longestRun.client, shortRun.client) << ", wineserver "
            << growth(longestRun.server, shortRun.server) << std::endl;
  client.reset();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}

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
