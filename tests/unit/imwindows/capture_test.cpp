#include "imwindows/capture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fakes/fake_im_client.h"

namespace murmuro {
namespace {

using fakes::DocStep;
using fakes::FakeIMClient;

const Text kNotFound(kWindowNotFound);

class CaptureTest : public ::testing::Test {
 protected:
  IMTextResult Capture(Hwnd target) {
    auto result = GetIMText(ctx, target);
    EXPECT_EQ(client.documents.Live(), 0) << "a capture kept a document reference";
    return result;
  }

  FakeIMClient client;
  CaptureContext ctx{client.desktop, client.documents};
  Hwnd view = client.Open("IM with bob", u"").view;
};

struct BodyCase {
  const char16_t* body;
  const char16_t* text;
  bool hasHtml;
};

TEST_F(CaptureTest, CutsTheLastFiveCharactersOrFails) {
  const BodyCase cases[] = {
      {u"abcdefgh", u"abc", true},
      {u"abcde", u"", true},
      {u"abcd", kWindowNotFound.data(), false},
      {u"", kWindowNotFound.data(), false},
      {u"bob: hi\r\nann: yo\r\n...", u"bob: hi\r\nann: yo", true},
      // Indistinguishable from a failure, but the markup shows it was read.
      {u"Window Not Found12345", kWindowNotFound.data(), true},
      {u"caf\u00e9 \u20ac12345", u"caf\u00e9 \u20ac", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::u16string(c.body).size());
    client.SetBody(view, c.body);
    const auto result = Capture(view);
    EXPECT_EQ(result.Text, Text(c.text));
    EXPECT_EQ(result.HTML, c.hasHtml ? u"<p>" + Text(c.body) + u"</p>" : Text());
  }
}

TEST_F(CaptureTest, AFailureAtAnyDocumentStepGivesWindowNotFoundAndReleasesAll) {
  const std::vector<DocStep> order = {DocStep::kObject,     DocStep::kQueryDocument2, DocStep::kBody1,
                                      DocStep::kInnerText1, DocStep::kBody2,          DocStep::kInnerText2,
                                      DocStep::kBody3,      DocStep::kInnerHtml};
  client.Show(view, u"bob: hello");
  for (std::size_t i = 0; i < order.size(); ++i) {
    SCOPED_TRACE(i);
    client.Document(view).failAt = order[i];
    client.documents.ClearSteps();
    const auto result = Capture(view);
    EXPECT_EQ(result.Text, kNotFound);
    EXPECT_EQ(result.HTML, Text());
    // Each read fetches the body anew, and nothing is asked after the step that failed.
    EXPECT_EQ(client.documents.Steps(), std::vector<DocStep>(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(i) + 1));
  }
}

TEST_F(CaptureTest, AsksForTheDocumentWithTheRegisteredMessageEveryTime) {
  client.Show(view, u"bob: hello");
  Capture(view);
  Capture(view);
  EXPECT_EQ(client.desktop.CountCalls("RegisterWindowMessageA WM_HTML_GETOBJECT"), 2u);
  ASSERT_EQ(client.desktop.Sent().size(), 2u);
  for (const auto& sent : client.desktop.Sent()) {
    EXPECT_EQ(sent.window, view);
    EXPECT_EQ(sent.message, client.desktop.MessageNumber("WM_HTML_GETOBJECT"));
    EXPECT_EQ(sent.wParam, 0u);
    EXPECT_EQ(sent.pointedLParam, 0);
    EXPECT_EQ(sent.flags, platform::kSmtoAbortIfHung);
    EXPECT_EQ(sent.timeoutMs, 1000u);
    EXPECT_EQ(sent.resultOnEntry, 0u);
  }
}

TEST_F(CaptureTest, AViewThatCannotAnswerGivesWindowNotFound) {
  client.Show(view, u"bob: hello");
  const Hwnd other = client.Open("IM with ann", u"ann: hi").view;
  struct Case {
    const char* what;
    std::function<Hwnd()> arrange;
    bool sends;
  };
  const Case cases[] = {
      {"handle 0", [] { return Hwnd{0}; }, false},
      {"closed window", [&] {
         const auto gone = client.Open("IM with cy", u"cy: bye");
         client.Close(gone.window);
         return gone.view;
       }, true},
      {"hung", [&] { client.desktop.SetHung(other, true); return other; }, true},
      {"answers 0", [&] { client.desktop.SetAnswer(other, 0); return other; }, true},
      {"answer without a document", [&] { client.desktop.SetAnswer(other, 0x1234); return other; }, true},
      {"the call throws", [&] {
         client.desktop.beforeCall = [](const fakes::WindowCall& call) {
           if (call.name == "SendMessageTimeoutA") throw std::runtime_error("lost");
         };
         return view;
       }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    client.desktop.ClearLog();
    const Hwnd target = c.arrange();
    const auto result = Capture(target);
    EXPECT_EQ(result.Text, kNotFound);
    EXPECT_EQ(result.HTML, Text());
    EXPECT_EQ(client.desktop.Sent().size(), c.sends ? 1u : 0u);
    client.desktop.beforeCall = nullptr;
    client.desktop.SetHung(other, false);
  }
}

// The trailer of the first read never becomes conversation text, however the text changed.
TEST_F(CaptureTest, TextThatChangesBetweenTheTwoReadsIsCutByTheShorterRead) {
  struct Case {
    const char16_t* first;
    const char16_t* second;
    const char16_t* text;
  };
  const Case cases[] = {
      {u"abcdefgh", u"abcdefghXYZ", u"abc"},          // grew by less than five
      {u"abcdefgh", u"abcdefghijklmnopq", u"abc"},    // grew by more
      {u"abcdefgh", u"abcdef", u"a"},                 // shrank
      {u"abcdefgh", u"abc", kWindowNotFound.data()},  // too short on the second read
      {u"abcd", u"abcdefgh", kWindowNotFound.data()}, // too short on the first read
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::u16string(c.second).size());
    auto& document = client.Document(view);
    document.innerText = c.first;
    document.beforeStep = [&document, second = Text(c.second)](DocStep step) {
      if (step == DocStep::kInnerText2) document.innerText = second;
    };
    EXPECT_EQ(Capture(view).Text, Text(c.text));
  }
}

TEST_F(CaptureTest, AWindowClosedDuringTheCaptureGivesWindowNotFound) {
  const auto conversation = client.Open("IM with ann", u"ann: hello there");
  client.Document(conversation.view).beforeStep = [&](DocStep step) {
    if (step == DocStep::kBody2) client.Close(conversation.window);
  };
  const auto result = Capture(conversation.view);
  EXPECT_EQ(result.Text, kNotFound);
  EXPECT_EQ(result.HTML, Text());
  EXPECT_EQ(Capture(conversation.view).Text, kNotFound);
}

}  // namespace
}  // namespace murmuro
