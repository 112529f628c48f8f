#pragma once
// How long a new line takes from the client to the voice.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "e2e/measure/support.h"
#include "e2e/support/murmuro_run.h"
#include "fixtures/im_client/control.h"

namespace murmuro::measure {

struct Latency {
  double meanMs = 0;
  std::uint64_t maxMs = 0;
  int lost = 0;
};

// Appends `lines` lines at random moments of the tick period and waits for each in the transcript.
inline Latency MeasureLatency(const im_client::ClientProcess& client, const e2e::MurmuroRun& run,
                              const std::string& conversation, int lines, std::mt19937& random) {
  std::uniform_int_distribution<int> phase(0, 999);
  std::vector<std::uint64_t> delays;
  Latency result;
  for (int i = 1; i <= lines; ++i) {
    Sleep(static_cast<DWORD>(phase(random)));
    const std::string tag = "probe " + std::to_string(i) + " in " + conversation;
    const std::uint64_t appended = NowMs();
    if (client.Send("append " + conversation + " 1 text=zed: " + tag) != 1) Fail("append refused");
    std::uint64_t heard = 0;
    WaitUntil(
        [&] {
          for (const auto& s : run.Transcribed()) {
            if (s.Text.find(tag + "\r\n") != std::string::npos) heard = s.TimeMs;
          }
          return heard != 0;
        },
        10000, 20);
    if (!heard) {
      ++result.lost;
      continue;
    }
    delays.push_back(heard - appended);
  }
  if (!delays.empty()) {
    result.meanMs = static_cast<double>(std::accumulate(delays.begin(), delays.end(), std::uint64_t{0})) /
                    static_cast<double>(delays.size());
    result.maxMs = *std::max_element(delays.begin(), delays.end());
  }
  return result;
}

inline std::string LatencyText(const Latency& l) {
  return "mean " + Fixed(l.meanMs, 0) + " ms, max " + std::to_string(l.maxMs) + " ms" +
         (l.lost ? ", " + std::to_string(l.lost) + " never spoken" : "");
}

}  // namespace murmuro::measure
