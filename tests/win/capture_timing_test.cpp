// Measures one capture of a 64 KB conversation, with and without MSHTML's type library held
// by the reader and by the client. Prints the figures; checks only that every capture read
// the whole conversation.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "win_test_support.h"

namespace murmuro::wintest {
namespace {

struct Figures {
  double first = 0;
  double median = 0;
};

// `characters` of chat as a command argument (CR LF escaped), and its length as shown.
std::pair<std::string, std::size_t> Conversation(std::size_t characters) {
  std::string text;
  std::size_t shown = 0;
  for (int i = 0; shown < characters; ++i) {
    const std::string line = "bob: message " + std::to_string(i) + " with some words in it";
    if (shown > 0) {
      text += "\\r\\n";
      shown += 2;
    }
    text += line;
    shown += line.size();
  }
  return {text, shown};
}

Figures Measure(const CaptureContext& ctx, Hwnd view, std::size_t expectedLength, int count) {
  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const IMTextResult result = GetIMText(ctx, view);
    times.push_back(MillisecondsSince(start));
    EXPECT_EQ(result.Text.size(), expectedLength);
  }
  Figures f;
  f.first = times.front();
  std::sort(times.begin(), times.end());
  f.median = times[times.size() / 2];
  return f;
}

TEST(CaptureTiming, SixtyFourKilobyteConversation) {
  win32::ComApartment com;
  win32::Win32WindowSystem windows;
  win32::Win32DocumentSource documents;
  const CaptureContext ctx{windows, documents};

  const auto [text, length] = Conversation(64 * 1024);
  const auto [shortText, shortLength] = Conversation(100);
  struct Client {
    const char* label;
    std::unique_ptr<im_client::ClientProcess> process;
    Hwnd view = 0;
    Hwnd shortView = 0;
  };
  Client clients[] = {{"client without library", LaunchClient(L"timing0", L"--no-typelib")},
                      {"client holding library", LaunchClient(L"timing1")}};
  for (auto& c : clients) {
    ASSERT_NE(c.process, nullptr);
    Must(*c.process, "open c views=1,1 title=IM with timing");
    Must(*c.process, "set c 1 text=" + text);
    Must(*c.process, "set c 2 text=" + shortText);
    c.view = AsHwnd(Must(*c.process, "view c 1"));
    c.shortView = AsHwnd(Must(*c.process, "view c 2"));
  }

  std::printf("one capture (ms): %zu characters / %zu characters\n", length, shortLength);
  for (const bool readerHolds : {false, true}) {
    std::optional<win32::MshtmlTypeLibrary> library;
    if (readerHolds) {
      library.emplace();
      ASSERT_TRUE(library->Loaded());
    }
    for (auto& c : clients) {
      const int count = readerHolds ? 12 : 4;
      const Figures f = Measure(ctx, c.view, length, count);
      const Figures small = Measure(ctx, c.shortView, shortLength, count);
      std::printf("  reader %-17s %-23s median %7.1f / %6.1f  (first %7.1f / %6.1f)\n",
                  readerHolds ? "holding library," : "without library,", c.label, f.median,
                  small.median, f.first, small.first);
      RecordProperty(std::string(readerHolds ? "reader_lib_" : "reader_nolib_") +
                         (c.label[7] == 'w' ? "client_nolib" : "client_lib"),
                     std::to_string(f.median));
    }
  }
  std::fflush(stdout);
}

}  // namespace
}  // namespace murmuro::wintest
