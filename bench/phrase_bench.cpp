// ProcessPhrase over long conversations, beside a bare CR LF scan of the same text.
// Prints, per size and case, ProcessPhrase's time over the scan's, and the 10 MB time over the 1 MB time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "phrase/latin1_lower_case.h"
#include "phrase/process_phrase.h"

namespace {

using murmuro::Text;

// A conversation of about `bytes` bytes of UTF-16 text. Its lines repeat every 20 lines, as
// short chat lines do, so a changed last line finds its old text again 20 lines up.
Text Conversation(std::size_t bytes) {
  static const char16_t* kLines[] = {u"bob: lol that was close", u"jim: brb, getting coffee",
                                     u"bob: ok ttyl then", u"jim: back. imo we should ship it today"};
  Text text;
  text.reserve(bytes / 2 + 64);
  for (std::size_t i = 0; text.size() * 2 < bytes; ++i) {
    if (i > 0) text += murmuro::kCrLf;
    text += kLines[i % 4];
    text += u" #" + Text(1, static_cast<char16_t>(u'0' + i % 10));
  }
  return text;
}

// Each tick reads texts that have just crossed over from another process or were last touched
// a second ago, so every run starts with the conversation out of the caches.
void EvictCaches() {
  static std::vector<char> junk(64u << 20);
  for (std::size_t i = 0; i < junk.size(); i += 64) junk[i] = static_cast<char>(junk[i] + 1);
  benchmark::ClobberMemory();
}

struct Texts {
  Text oldText, appended, changed;
};

const Texts& TextsOf(std::size_t megabytes) {
  static std::map<std::size_t, Texts> cache;
  auto [it, fresh] = cache.try_emplace(megabytes);
  if (fresh) {
    it->second.oldText = Conversation(megabytes << 20);
    it->second.appended = it->second.oldText + u"\r\njim: lol";
    it->second.changed = it->second.oldText + u" indeed";
  }
  return it->second;
}

// The least any reader of the new lines must do: find every CR LF once.
std::size_t BareScan(const Text& text) {
  std::size_t count = 0;
  const char16_t* p = text.data();
  const char16_t* end = p + text.size();
  while ((p = std::find(p, end, u'\r')) != end) {
    ++p;
    if (p != end && *p == u'\n') ++count;
  }
  return count;
}

murmuro::AcronymList Acronyms() {
  return {u"lol,laughing out loud", u"brb,be right back", u"ttyl,talk to you later", u"imo,in my opinion"};
}

void BM_BareScan(benchmark::State& state) {
  const Texts& t = TextsOf(static_cast<std::size_t>(state.range(0)));
  const Text& newText = state.range(1) == 0 ? t.appended : t.changed;
  for (auto _ : state) {
    state.PauseTiming();
    EvictCaches();
    state.ResumeTiming();
    benchmark::DoNotOptimize(BareScan(newText));
  }
}

void BM_ProcessPhrase(benchmark::State& state) {
  const Texts& t = TextsOf(static_cast<std::size_t>(state.range(0)));
  const auto acronyms = Acronyms();
  const murmuro::Latin1LowerCase lower;
  const Text& newText = state.range(1) == 0 ? t.appended : t.changed;
  for (auto _ : state) {
    state.PauseTiming();
    EvictCaches();
    state.ResumeTiming();
    benchmark::DoNotOptimize(murmuro::ProcessPhrase(t.oldText, newText, acronyms, lower));
  }
}

// range(0): megabytes; range(1): 0 = one line appended (more lines), 1 = last line changed.
BENCHMARK(BM_BareScan)->ArgsProduct({{1, 10}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcessPhrase)->ArgsProduct({{1, 10}, {0, 1}})->Unit(benchmark::kMicrosecond);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
  }
  void PrintRatios() const {
    std::printf("\nProcessPhrase / bare CR LF scan (target <= 2.0), and 10 MB / 1 MB (target <= 11.0):\n");
    for (const char* kase : {"0", "1"}) {
      const std::string label = kase[0] == '0' ? "line appended" : "last line changed";
      for (const char* mb : {"1", "10"}) {
        const double ratio = Time("BM_ProcessPhrase", mb, kase) / Time("BM_BareScan", mb, kase);
        std::printf("  %-17s %2s MB: ProcessPhrase/scan = %.2f\n", label.c_str(), mb, ratio);
      }
      std::printf("  %-17s 10 MB / 1 MB: ProcessPhrase %.2f, scan %.2f\n", label.c_str(),
                  Time("BM_ProcessPhrase", "10", kase) / Time("BM_ProcessPhrase", "1", kase),
                  Time("BM_BareScan", "10", kase) / Time("BM_BareScan", "1", kase));
    }
  }

 private:
  double Time(const std::string& bench, const char* mb, const char* kase) const {
    const auto it = times_.find(bench + "/" + mb + "/" + kase);
    return it == times_.end() ? 0.0 : it->second;
  }
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
