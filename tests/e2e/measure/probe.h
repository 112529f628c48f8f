#pragma once
// The Linux side's view of the running processes. Under Wine a process cannot read another
// one's CPU time (GetProcessTimes answers 0 for it), so the measuring program asks the script
// that started it: it writes "?sample <label> <program>" on stdout and reads one line of figures
// that the script took from /proc at that moment, for <program> (an executable's file name) and
// the sample client.
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

namespace murmuro::measure {

struct Sample {
  std::uint64_t wallNs = 0;        // the script's clock when it read /proc
  std::uint64_t programTicks = 0;  // the program's user + system time, in clock ticks
  std::uint64_t ticksPerSecond = 100;
  std::uint64_t residentKb = 0;    // VmRSS: the working set
  std::uint64_t anonymousKb = 0;   // RssAnon: private memory in use
  std::uint64_t clientTicks = 0;   // the sample client's CPU time, for comparison
  std::uint64_t serverTicks = 0;   // the Wine server's
  std::uint64_t machineTicks = 0;  // every process's on every core
};

inline std::optional<Sample> TakeSample(const std::string& label, const std::string& program) {
  std::cout << "?sample " << label << " " << program << std::endl;
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  std::istringstream in(line);
  Sample s;
  if (!(in >> s.wallNs >> s.programTicks >> s.ticksPerSecond >> s.residentKb >> s.anonymousKb >>
        s.clientTicks >> s.serverTicks >> s.machineTicks) ||
      s.ticksPerSecond == 0) {
    return std::nullopt;
  }
  return s;
}

// Asks the script to keep every core busy with a plain loop each (true) or to end those loops
// (false); the reply tells how many run. The script ends them also when it exits.
inline std::optional<int> BusyLoad(bool on) {
  std::cout << "?load " << (on ? "on" : "off") << std::endl;
  std::string line;
  int loops = 0;
  if (!std::getline(std::cin, line) || std::sscanf(line.c_str(), "ok %d", &loops) != 1) return std::nullopt;
  return loops;
}

// Percent of one core used between two samples.
inline double CpuPercent(std::uint64_t ticksBefore, std::uint64_t ticksAfter, const Sample& before,
                         const Sample& after) {
  const double seconds = static_cast<double>(after.wallNs - before.wallNs) / 1e9;
  const double cpu = static_cast<double>(ticksAfter - ticksBefore) / static_cast<double>(after.ticksPerSecond);
  return seconds > 0 ? 100.0 * cpu / seconds : 0.0;
}

}  // namespace murmuro::measure
