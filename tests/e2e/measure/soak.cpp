// The soak: live conversations, a line appended every second to each in turn, every core kept
// busy by the script meanwhile (without load a stuck exchange between the program and the client
// rarely shows). Counts the lines sent and the sentences spoken, and follows the program's
// private memory once its first two minutes are behind it.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/measure/runs.h"
#include "e2e/measure/support.h"
#include "e2e/support/murmuro_run.h"
#include "fixtures/im_client/control.h"

namespace murmuro::measure {
namespace {

// A client that takes longer than this over one command is taken as stuck.
constexpr UINT kAnswerMs = 5000;
constexpr int kSettleSeconds = 120;
constexpr char kMarker[] = "soak ";

struct Heard {
  int sentences = 0;           // every "X says ..." in the transcript
  std::map<int, int> times;    // soak line number -> how often it was spoken
  int unknown = 0;             // sentences that name no soak line
};

Heard Count(const std::vector<e2e::Spoken>& transcript) {
  Heard heard;
  for (const auto& entry : transcript) {
    std::string_view rest = entry.Text;
    while (!rest.empty()) {
      const auto end = rest.find("\r\n");
      const std::string_view sentence = rest.substr(0, end);
      rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 2);
      const auto says = sentence.find(" says ");
      if (says == std::string_view::npos) continue;
      ++heard.sentences;
      const auto marker = sentence.find(kMarker, says);
      const int line = marker == std::string_view::npos
                           ? 0
                           : std::atoi(std::string(sentence.substr(marker + sizeof kMarker - 1)).c_str());
      if (line > 0) ++heard.times[line];
      else ++heard.unknown;
    }
  }
  return heard;
}

// The first numbers of a list, enough to find them in the transcript.
std::string Listed(const std::vector<int>& numbers) {
  std::string out;
  for (std::size_t i = 0; i < numbers.size() && i < 20; ++i) out += (i ? ", " : ": ") + std::to_string(numbers[i]);
  if (numbers.size() > 20) out += ", ...";
  return std::to_string(numbers.size()) + (numbers.empty() ? "" : " (lines" + out + ")");
}

std::string Growth(std::uint64_t from, std::uint64_t to) {
  return (to >= from ? "+" : "-") + std::to_string(to >= from ? to - from : from - to) + " KB (" +
         std::to_string(from) + " -> " + std::to_string(to) + ")";
}

}  // namespace

int RunSoak(const Options& o) {
  if (!e2e::RegisterRecordingVoice()) Fail("cannot register the recording voice");
  e2e::MurmuroRun run(DefaultSettings());
  // The client as it comes: nothing of its own holds the objects the program reads.
  auto client = LoadedClient(run.Folder(), L"measure-soak", o.conversations, o.kilobytes);
  const long before = Reads(*client);
  if (!run.Start()) Fail("murmuro.exe did not start");
  // Every view read and looked at again: the first scan is behind the program, and it reads as it
  // will from now on.
  if (!WarmedUp(*client, before, o.conversations, true, 60000)) Fail("the conversations were not read");
  const auto loops = BusyLoad(true);
  if (!loops) Fail("the script did not start the busy loops");
  const int total = o.minutes * 60;
  std::cerr << "soak: " << total << " lines over " << o.minutes << " min into " << o.conversations
            << " conversations of " << o.kilobytes << " KB, " << *loops << " busy loops" << std::endl;

  const Sample start = MustSample("soak-start");
  std::optional<Sample> settled;  // once the first two minutes are behind
  std::vector<int> sent;
  std::vector<int> notTaken;
  int refusedInARow = 0;
  std::string cut;  // why the soak ended early, if it did
  long reads = Reads(*client, kAnswerMs);
  ULONGLONG lastRead = GetTickCount64();
  ULONGLONG longestQuiet = 0;
  const ULONGLONG begin = GetTickCount64();
  for (int line = 1; line <= total; ++line) {
    const ULONGLONG due = begin + static_cast<ULONGLONG>(line - 1) * 1000;
    if (const ULONGLONG now = GetTickCount64(); now < due) Sleep(static_cast<DWORD>(due - now));
    const std::string conversation = "c" + std::to_string((line - 1) % o.conversations + 1);
    if (client->Send("append " + conversation + " 1 text=zed: " + kMarker + std::to_string(line), kAnswerMs) == 1) {
      sent.push_back(line);
      refusedInARow = 0;
    } else {
      notTaken.push_back(line);
      if (++refusedInARow == 10) {
        cut = "the sample client stopped answering (line " + std::to_string(line) + ")";
        break;
      }
    }
    const long now = Reads(*client, kAnswerMs);
    const ULONGLONG at = GetTickCount64();
    if (now > reads) {
      longestQuiet = std::max(longestQuiet, at - lastRead);
      reads = now;
      lastRead = at;
    }
    if (line == kSettleSeconds && total > kSettleSeconds) settled = MustSample("soak-settled");
    if (line % 30 == 0) {
      const Sample s = MustSample("soak-" + std::to_string(line));
      std::cerr << "soak: " << line << " s, " << sent.size() << " lines sent, " << Count(run.Transcribed()).sentences
                << " spoken, " << reads << " reads, private " << s.anonymousKb << " KB" << std::endl;
    }
  }
  // The last lines get the time a slow tick needs; a program that stopped reading gets no more.
  const auto allSpoken = [&] {
    const Heard h = Count(run.Transcribed());
    return std::all_of(sent.begin(), sent.end(), [&](int line) { return h.times.count(line) != 0; });
  };
  WaitUntil(allSpoken, 15000, 250);
  longestQuiet = std::max(longestQuiet, GetTickCount64() - lastRead);
  const Sample end = MustSample("soak-end");
  BusyLoad(false);

  const Heard heard = Count(run.Transcribed());
  std::vector<int> twice;
  std::vector<int> missing;
  for (const int line : sent) {
    const auto found = heard.times.find(line);
    if (found == heard.times.end()) missing.push_back(line);
    else if (found->second > 1) twice.push_back(line);
  }
  const std::string settledAt = settled ? std::to_string(kSettleSeconds) + " s" : "the start (no later sample)";
  const Sample& from = settled ? *settled : start;
  Row({"soak figure", "measured", "target"});
  Row({"---", "---", "---"});
  if (!cut.empty()) Row("cut short", cut, "");
  Row("lines sent, one a second to c1..c" + std::to_string(o.conversations) + " in turn, " +
          std::to_string(*loops) + " busy loops",
      std::to_string(sent.size()) + (notTaken.empty() ? "" : ", not taken by the client " + Listed(notTaken)), "");
  Row("phrases spoken (sentences \"X says ...\")",
      std::to_string(heard.sentences) + (heard.unknown ? ", " + std::to_string(heard.unknown) + " not of the soak" : ""),
      "= lines sent");
  Row("lines spoken more than once", Listed(twice), "0");
  Row("lines never spoken", Listed(missing), "0");
  Row("murmuro.exe private memory (RssAnon) from " + settledAt + " to the end", Growth(from.anonymousKb, end.anonymousKb),
      "<= +1024 KB");
  Row("(context) working set (VmRSS) the same; from the start", Growth(from.residentKb, end.residentKb) + "; " +
      Growth(start.residentKb, end.residentKb), "");
  Row("(context) client reads; longest time without one",
      std::to_string(reads) + "; " + Fixed(static_cast<double>(longestQuiet) / 1000.0, 1) + " s", "");
  Row("(context) CPU of murmuro.exe / client / wineserver / the whole machine",
      CpuText(&Sample::programTicks, start, end) + " / " + CpuText(&Sample::clientTicks, start, end) + " / " +
          CpuText(&Sample::serverTicks, start, end) + " / " + CpuText(&Sample::machineTicks, start, end),
      "");
  std::cout << "soak: " << sent.size() << " lines sent, " << heard.sentences << " phrases spoken, " << twice.size()
            << " duplicated, " << missing.size() << " missing, private memory "
            << Growth(from.anonymousKb, end.anonymousKb) << " from " << settledAt << std::endl;

  run.Close();
  const auto exitCode = run.WaitForExit(30000);
  std::cout << "murmuro.exe exit code " << (exitCode ? std::to_string(*exitCode) : std::string("(did not exit)"))
            << std::endl;
  return cut.empty() && exitCode == std::optional<DWORD>(0) ? 0 : 1;
}

}  // namespace murmuro::measure
