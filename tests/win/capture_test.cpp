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
    const char16_t* html;
  };
  const Case cases[] = {
      {"abcdefgh", u"abc", u"abcdefgh"},
      {"abcde", u"", u"abcde"},
      {"abcd", u"Window Not Found", u""},
      {"", u"Window Not Found", u""},
      {"bob: hi\r\nann: yo\r\n\r\n ", u"bob: hi\r\nann: yo", u"bob: hi<BR>ann: yo<BR><BR> "},
      {"a<b & c>d12345", u"a<b & c>d", u"a&lt;b &amp; c&gt;d12345"},
      {"h\xc3\xa9llo \xe2\x98\xba \xf0\x9f\x98\x80!!!!!", u"h\u00e9llo \u263a \U0001F600",
       u"h\u00e9llo \u263a \U0001F600!!!!!"},
  };
  for (const auto& c : cases) {
    SetBody(c.body);
    const IMTextResult result = Capture();
    EXPECT_EQ(result.Text, Text(c.text)) << c.body;
    EXPECT_EQ(result.HTML, Text(c.html)) << c.body;
    EXPECT_EQ(SettledAlive(*client, 0), 0) << "document references left after capturing " << c.body;
  }
}

TEST_F(CaptureTest, EveryFailingStepGivesWindowNotFoundAndReleasesWhatItTook) {
  SetBody("bob: hello!!!!!");
  for (const char* step : {"getobject", "document2", "nobody", "body", "innertext", "innerhtml"}) {
    Must(*client, std::string("fail c 1 ") + step);
    const IMTextResult result = Capture();
    EXPECT_EQ(result.Text, kWindowNotFound) << step;
    EXPECT_EQ(result.HTML, u"") << step;
    EXPECT_EQ(SettledAlive(*client, 0), 0) << "document references left after failing " << step;
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
  EXPECT_EQ(result.HTML, u"");
  EXPECT_LT(elapsed, 100.0);
}

TEST_F(CaptureTest, ADocumentFailsOnceItsWindowHasClosed) {
  SetBody("bob: still here?");
  auto document = GetHTMLDocument(platform.Capture(), view);
  ASSERT_NE(document, nullptr);
  auto document2 = document->QueryDocument2();
  ASSERT_NE(document2, nullptr);
  auto body = document2->Body();
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(body->InnerText(), std::optional<Text>(u"bob: still here?"));

  Must(*client, "close c");

  EXPECT_EQ(body->InnerText(), std::nullopt);
  EXPECT_EQ(body->InnerHtml(), std::nullopt);
  EXPECT_EQ(document2->Body(), nullptr);
  EXPECT_GT(client->Send("alive"), 0);
  body.reset();
  document2.reset();
  document.reset();
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
