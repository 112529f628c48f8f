#include "core/start_up.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "core/settings.h"

namespace murmuro {
namespace {

using ::testing::ElementsAreArray;

// Whichever step fails, an icon that was put up is taken down and the one-copy name let go
// before the report.
TEST(StartUpTest, AFailingStepReportsItAfterTakingTheIconOut) {
  struct Case {
    const char* failing;  // the step that throws, or "" for none
    std::function<void()> fail;
    int exitCode;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      {"", {}, 0, {"voice", "form", "settings"}},
      {"voice", [] { throw StartUpError(kExitNoVoice, "no voice"); }, kExitNoVoice,
       {"voice", "let go", "report no voice"}},
      {"form", [] { throw StartUpError(kExitNoWindow, "no window"); }, kExitNoWindow,
       {"voice", "form", "cancel", "let go", "report no window"}},
      {"settings", [] { throw SettingsError("line 2"); }, kExitSettings,
       {"voice", "form", "settings", "cancel", "let go", "report line 2"}},
      {"settings", [] { throw std::bad_alloc(); }, kExitUnexpected,
       {"voice", "form", "settings", "cancel", "let go", "report Murmuro stopped: std::bad_alloc"}},
      {"form", [] { throw 42; }, kExitUnexpected,
       {"voice", "form", "cancel", "let go", "report Murmuro stopped after an unexpected error."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failing);
    std::vector<std::string> log;
    const auto step = [&](std::string name) {
      return [&log, &c, name] {
        log.push_back(name);
        if (name == c.failing) c.fail();
      };
    };
    const int code = StartUp({step("voice"), step("form"), step("settings"), [&] { log.push_back("cancel"); },
                              [&](const std::string& message) { log.push_back("report " + message); },
                              [&] { log.push_back("let go"); }});
    EXPECT_EQ(code, c.exitCode);
    EXPECT_THAT(log, ElementsAreArray(c.log));
  }
}

}  // namespace
}  // namespace murmuro
