// Captures of a view of the sample client, a real cross-process document through COM.
#include <string>

#include "win_test_support.h"

namespace murmuro::wintest {
namespace {

// The control language's escapes, so a body can hold CR and LF.
std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    client = LaunchClient(L"capture");
    ASSERT_NE(client, nullptr) << "the sample client did not start (MURMURO_IM_CLIENT)";
    // No trailer: each case spells out the whole body.
    Must(*client, "open c views=1 trailer= title=IM with c");
    view = AsHwnd(Must(*client, "view c 1"));
    ASSERT_EQ(client->Send("alive"), 0);
  }

  void SetBody(std::string_view body) { Must(*client, "set c 1 text=" + Escaped(body)); }
  IMTextResult Capture() { return GetIMText(platform.Capture(), view); }

  Win32Platform platform;
  std::unique_ptr<im_client::ClientProcess> client;
  Hwnd view = 0;
};

TEST_F(CaptureTest, TextIsTheBodyLessItsLastFiveCharactersAndNothingIsKept) {
  struct Case {
    const char* body;  // UTF-8
    const char16_t* text;
  };
  const Case cases[] = {
      {"abcdefgh", u"abc"},
      {"abcde", u""},
      {"abcd", u"Window Not Found"},
      {"", u"Window Not Found"},
      {"bob: hi\r\nann: yo\r\n\r\n ", u"bob: hi\r\nann: yo"},
      {"a<b & c>d12345", u"a<b & c>d"},
      {"h\xc3\xa9llo \xe2\x98\xba \xf0\x9f\x98\x80!!!!!", u"h\u00e9llo \u263a \U0001F600"},
  };
  for (const auto& c : cases) {
    SetBody(c.body);
    const long reads = static_cast<long>(client->Send("reads"));
    const IMTextResult result = Capture();
    EXPECT_EQ(result.Text, Text(c.text)) << c.body;
    EXPECT_EQ(client->Send("reads"), reads + 1) << "one text read a capture";
    EXPECT_EQ(SettledAlive(*client, 0), 0) << "document references left after capturing " << c.body;
  }
}

TEST_F(CaptureTest, EveryFailingStepGivesWindowNotFoundAndReleasesWhatItTook) {
  SetBody("bob: hello!!!!!");
  const struct {
    const char* step;
    const char16_t* text;
  } cases[] = {{"getobject", u"Window Not Found"}, {"document2", u"Window Not Found"},
               {"nobody", u"Window Not Found"},    {"body", u"Window Not Found"},
               {"innertext", u"Window Not Found"}, {"innerhtml", u"bob: hello"}};  // the markup is not read
  for (const auto& c : cases) {
    Must(*client, std::string("fail c 1 ") + c.step);
    EXPECT_EQ(Capture().Text, Text(c.text)) << c.step;
    EXPECT_EQ(SettledAlive(*client, 0), 0) << "document references left after failing " << c.step;
  }
  Must(*client, "fail c 1 none");
  EXPECT_EQ(Capture().Text, u"bob: hello");
}

TEST_F(CaptureTest, AClosedWindowGivesWindowNotFoundAtOnce) {
  SetBody("bob: bye!!!!!");
  ASSERT_EQ(Capture().Text, u"bob: bye");
  Must(*client, "close c");
  const auto start = std::chrono::steady_clock::now();
  const IMTextResult result = Capture();
  const double elapsed = MillisecondsSince(start);
  EXPECT_EQ(result.Text, kWindowNotFound);
  EXPECT_LT(elapsed, 100.0);
}

TEST_F(CaptureTest, ADocumentFailsOnceItsWindowHasClosed) {
  SetBody("bob: still here?");
  auto document = GetHTMLDocument(platform.Capture(), view);
  ASSERT_NE(document, nullptr);
  auto body = document->Body();
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(body->InnerText(), std::optional<Text>(u"bob: still here?"));

  Must(*client, "close c");

  EXPECT_EQ(body->InnerText(), std::nullopt);
  EXPECT_EQ(document->Body(), nullptr);
  EXPECT_GT(client->Send("alive"), 0);
  body.reset();
  document.reset();
  EXPECT_EQ(SettledAlive(*client, 0), 0);
}

// The program keeps a view's document and body between captures; the client's count goes back
// to where it started once the view is gone.
TEST_F(CaptureTest, KeptReferencesGoWhenTheViewDoes) {
  SetBody("bob: kept!!!!!");
  KeptDocuments kept;
  EXPECT_EQ(GetIMText(platform.Capture(), view, &kept).Text, u"bob: kept");
  EXPECT_EQ(GetIMText(platform.Capture(), view, &kept).Text, u"bob: kept");
  EXPECT_EQ(SettledAlive(*client, 2), 2) << "the document and the body";
  Must(*client, "close c");
  EXPECT_EQ(GetIMText(platform.Capture(), view, &kept).Text, kWindowNotFound);
  EXPECT_EQ(SettledAlive(*client, 0), 0);
}

// The element count, read across processes from the one live `all` collection: one element a
// line after the four the document always has, no text read, and "not supported" once the
// document stops supporting it. The last element is the last line's, whose text is that line
// alone and whose parent is the body; the one taken earlier follows its line as it grows.
TEST_F(CaptureTest, TheElementCountFollowsTheLinesWithoutReadingTheText) {
  using platform::ProbeOutcome;
  SetBody("bob: hi");
  auto document = GetHTMLDocument(platform.Capture(), view);
  ASSERT_NE(document, nullptr);
  ProbeOutcome outcome = ProbeOutcome::kFailed;
  auto all = document->All(outcome);
  ASSERT_EQ(outcome, ProbeOutcome::kAnswered);
  ASSERT_NE(all, nullptr);
  auto body = document->Body();
  ASSERT_NE(body, nullptr);
  auto first = all->Item(4);
  ASSERT_NE(first, nullptr);
  const long reads = static_cast<long>(client->Send("reads"));
  const struct {
    const char* command;
    ProbeOutcome outcome;
    std::int32_t count;
    const char16_t* last;     // the last element's text; null: it is the body, or none
    const char16_t* earlier;  // what the element taken at the start reads
  } cases[] = {
      {"alive", ProbeOutcome::kAnswered, 5, u"bob: hi", u"bob: hi"},  // nothing changed
      {"grow c 1 text=\\sthere", ProbeOutcome::kAnswered, 5, u"bob: hi there", u"bob: hi there"},  // unseen by the count
      {"grow c 1 text=\\r\\nbob: again", ProbeOutcome::kAnswered, 5, u"bob: hi there\r\nbob: again",
       u"bob: hi there\r\nbob: again"},
      {"append c 1 text=ann: yo", ProbeOutcome::kAnswered, 6, u"ann: yo", u"bob: hi there\r\nbob: again"},
      {"set c 1 text=bob: hi\\r\\nann: yo!", ProbeOutcome::kAnswered, 6, u"ann: yo!", u"bob: hi there\r\nbob: again"},
      {"set c 1 text=", ProbeOutcome::kAnswered, 4, nullptr, u"bob: hi there\r\nbob: again"},
      {"fail c 1 probe", ProbeOutcome::kUnsupported, 0, nullptr, u"bob: hi there\r\nbob: again"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    Must(*client, c.command);
    const platform::ProbeAnswer answer = all->Length();
    EXPECT_EQ(answer.outcome, c.outcome);
    EXPECT_EQ(answer.count, c.count);
    EXPECT_EQ(first->InnerText(), std::optional<Text>(c.earlier));
    auto last = answer.count > 0 ? all->Item(answer.count - 1) : nullptr;
    if (!c.last) {
      EXPECT_TRUE(!last || last->Identity() == body->Identity());
      continue;
    }
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->InnerText(), std::optional<Text>(c.last));
    auto parent = last->Parent();
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(parent->Identity(), body->Identity());
    EXPECT_NE(last->Identity(), body->Identity());
  }
  EXPECT_EQ(document->All(outcome), nullptr);
  EXPECT_EQ(outcome, ProbeOutcome::kUnsupported);
  EXPECT_EQ(client->Send("reads"), reads) << "a probe reads no body text";
  first.reset();
  body.reset();
  all.reset();
  document.reset();
  EXPECT_EQ(SettledAlive(*client, 0), 0);
}

// A view's document is the same object at every request, told by its identity without a read,
// until the view loads a new page; the old document still answers with its own count. A client
// that refuses `item` hands out no element.
TEST_F(CaptureTest, ANewPageIsAnotherDocumentByIdentity) {
  using platform::ProbeOutcome;
  SetBody("bob: hi");
  auto kept = GetHTMLDocument(platform.Capture(), view);
  auto again = GetHTMLDocument(platform.Capture(), view);
  ASSERT_TRUE(kept && again);
  EXPECT_NE(kept->Identity(), 0u);
  EXPECT_EQ(again->Identity(), kept->Identity());
  ProbeOutcome outcome = ProbeOutcome::kFailed;
  auto all = kept->All(outcome);
  ASSERT_NE(all, nullptr);
  const long reads = static_cast<long>(client->Send("reads"));

  Must(*client, "replace c 1 text=bob: new\\r\\nbob: page");
  auto fresh = GetHTMLDocument(platform.Capture(), view);
  ASSERT_NE(fresh, nullptr);
  EXPECT_NE(fresh->Identity(), kept->Identity());
  EXPECT_EQ(all->Length().count, 5) << "the old page's collection keeps its count";
  auto freshAll = fresh->All(outcome);
  ASSERT_NE(freshAll, nullptr);
  EXPECT_EQ(freshAll->Length().count, 6);
  EXPECT_EQ(client->Send("reads"), reads) << "told apart without reading";

  Must(*client, "fail c 1 check");
  EXPECT_EQ(freshAll->Item(5), nullptr);
  EXPECT_EQ(freshAll->Length().count, 6) << "the count is still answered";
  freshAll.reset();
  fresh.reset();
  all.reset();
  again.reset();
  kept.reset();
  EXPECT_EQ(SettledAlive(*client, 0), 0);
}

TEST_F(CaptureTest, AHungClientCostsNoMoreThanTheTimeout) {
  SetBody("bob: wake up!!!!!");
  Must(*client, "hang 3000");
  const auto start = std::chrono::steady_clock::now();
  const IMTextResult result = Capture();
  const double elapsed = MillisecondsSince(start);
  EXPECT_EQ(result.Text, kWindowNotFound);
  EXPECT_LT(elapsed, 1100.0);
  // Once it pumps again the client answers as before (this command waits out the hang).
  Must(*client, "alive");
  EXPECT_EQ(Capture().Text, u"bob: wake up");
}

}  // namespace
}  // namespace murmuro::wintest
