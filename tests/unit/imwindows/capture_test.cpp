#include "imwindows/capture.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
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
  Answer how;
};

TEST_F(CaptureTest, CutsTheLastFiveCharactersOrFails) {
  const BodyCase cases[] = {
      {u"abcdefgh", u"abc", Answer::kRead},
      {u"abcde", u"", Answer::kRead},
      {u"abcd", kWindowNotFound.data(), Answer::kTooShort},
      {u"", kWindowNotFound.data(), Answer::kTooShort},
      {u"bob: hi\r\nann: yo\r\n...", u"bob: hi\r\nann: yo", Answer::kRead},
      // Told from a failure by how it answered.
      {u"Window Not Found12345", kWindowNotFound.data(), Answer::kRead},
      {u"caf\u00e9 \u20ac12345", u"caf\u00e9 \u20ac", Answer::kRead},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::u16string(c.body).size());
    client.SetBody(view, c.body);
    const auto result = Capture(view);
    EXPECT_EQ(result.Text, Text(c.text));
    EXPECT_EQ(result.How, c.how);
  }
}

// One request, one body, one read; the answer is asked for again, as IHTMLDocument, only when it
// could not be had as IHTMLDocument2.
TEST_F(CaptureTest, AFailureAtAnyDocumentStepGivesWindowNotFoundAndReleasesAll) {
  using Steps = std::vector<DocStep>;
  const auto lean = Steps{DocStep::kDocument2, DocStep::kBody, DocStep::kInnerText};
  const auto fallback = Steps{DocStep::kDocument2, DocStep::kObject, DocStep::kQueryDocument2, DocStep::kBody,
                              DocStep::kInnerText};
  struct Case {
    const char* what;
    std::optional<DocStep> failAt;
    bool noDocument2;
    Steps steps;
    std::size_t requests;
    bool read;
  };
  const Case cases[] = {
      {"none", std::nullopt, false, lean, 1, true},
      {"body", DocStep::kBody, false, {DocStep::kDocument2, DocStep::kBody}, 1, false},
      {"text", DocStep::kInnerText, false, lean, 1, false},
      {"as IHTMLDocument2: asked again", DocStep::kDocument2, false, fallback, 2, true},
      {"no IHTMLDocument2 at all", std::nullopt, true, {DocStep::kDocument2, DocStep::kObject, DocStep::kQueryDocument2}, 2, false},
  };
  client.Show(view, u"bob: hello");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    client.Document(view).failAt = c.failAt;
    client.Document(view).noDocument2 = c.noDocument2;
    client.documents.ClearSteps();
    client.desktop.ClearLog();
    const auto result = Capture(view);
    EXPECT_EQ(result.Text, c.read ? Text(u"bob: hello") : kNotFound);
    EXPECT_EQ(result.How, c.read ? Answer::kRead : Answer::kNone);
    EXPECT_EQ(client.documents.Steps(), c.steps) << "nothing is asked after the step that failed";
    EXPECT_EQ(client.desktop.Sent().size(), c.requests);
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
    std::size_t sends;
  };
  const Case cases[] = {
      {"handle 0", [] { return Hwnd{0}; }, 0},
      {"closed window", [&] {
         const auto gone = client.Open("IM with cy", u"cy: bye");
         client.Close(gone.window);
         return gone.view;
       }, 1},
      {"hung", [&] { client.desktop.SetHung(other, true); return other; }, 1},
      {"answers 0", [&] { client.desktop.SetAnswer(other, 0); return other; }, 1},
      // Asked again for the other interface, in case the first was only refused.
      {"answer without a document", [&] { client.desktop.SetAnswer(other, 0x1234); return other; }, 2},
      {"the call throws", [&] {
         client.desktop.beforeCall = [](const fakes::WindowCall& call) {
           if (call.name == "SendMessageTimeoutA") throw std::runtime_error("lost");
         };
         return view;
       }, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    client.desktop.ClearLog();
    const Hwnd target = c.arrange();
    const auto result = Capture(target);
    EXPECT_EQ(result.Text, kNotFound);
    EXPECT_EQ(client.desktop.Sent().size(), c.sends);
    client.desktop.beforeCall = nullptr;
    client.desktop.SetHung(other, false);
  }
}

// Held from one capture to the next: the client never sees its last reference go between two
// captures. They go once the view has gone, with Release, or with the holder.
TEST_F(CaptureTest, KeptDocumentsStayHeldUntilTheNextCaptureHasItsOwn) {
  client.Show(view, u"bob: hi");
  const auto ann = client.Open("IM with ann", u"ann: hi");
  KeptDocuments kept;
  EXPECT_EQ(GetIMText(ctx, view, &kept).Text, u"bob: hi");
  EXPECT_EQ(GetIMText(ctx, ann.view, &kept).Text, u"ann: hi");
  EXPECT_EQ(client.documents.Live(), 4) << "a document and a body a view";
  EXPECT_EQ(GetIMText(ctx, view, &kept).Text, u"bob: hi");
  EXPECT_EQ(client.documents.Live(), 4);
  EXPECT_EQ(client.documents.PeakLive(), 6) << "the new ones are had before the old ones go";
  client.desktop.SetHung(ann.view, true);
  EXPECT_EQ(GetIMText(ctx, ann.view, &kept).Text, kNotFound);
  EXPECT_EQ(client.documents.Live(), 4) << "a view that did not answer keeps what it had";
  client.desktop.SetHung(ann.view, false);
  client.Close(ann.window);
  EXPECT_EQ(GetIMText(ctx, ann.view, &kept).Text, kNotFound);
  EXPECT_EQ(client.documents.Live(), 2);
  kept.Release(view);
  EXPECT_EQ(client.documents.Live(), 0);
  EXPECT_EQ(GetIMText(ctx, view, &kept).Text, u"bob: hi");
  {
    const KeptDocuments gone = std::move(kept);
  }
  EXPECT_EQ(client.documents.Live(), 0);
}

TEST_F(CaptureTest, AWindowClosedDuringTheCaptureGivesWindowNotFound) {
  const auto conversation = client.Open("IM with ann", u"ann: hello there");
  client.Document(conversation.view).beforeStep = [&](DocStep step) {
    if (step == DocStep::kInnerText) client.Close(conversation.window);
  };
  const auto result = Capture(conversation.view);
  EXPECT_EQ(result.Text, kNotFound);
  EXPECT_EQ(Capture(conversation.view).Text, kNotFound);
}

}  // namespace
}  // namespace murmuro
