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
    EXPECT_EQ(sent.lParam, 0);
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
    Answer how = Answer::kNone;
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
      // Its client runs as administrator: told apart, so it can be named.
      {"access denied", [&] { client.desktop.SetDenied(other, true); return other; }, 1, Answer::kBlocked},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    client.desktop.ClearLog();
    const Hwnd target = c.arrange();
    const auto result = Capture(target);
    EXPECT_EQ(result.Text, kNotFound);
    EXPECT_EQ(result.How, c.how);
    EXPECT_EQ(client.desktop.Sent().size(), c.sends);
    client.desktop.beforeCall = nullptr;
    client.desktop.SetHung(other, false);
    client.desktop.SetDenied(other, false);
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

// A capture of a known view asks the kept collection for its length, and reads in full only when
// that changed, when asked to, after a read that ended in CR LF, at the safety read, and for good
// once the probe is unsupported or missed a change. A probe that fails reads once.
TEST_F(CaptureTest, AProbeBeforeTheReadReadsOnlyWhatItCannotRuleOut) {
  using Steps = std::vector<DocStep>;
  const Steps probe{DocStep::kLength};
  const Steps full{DocStep::kDocument2, DocStep::kAll, DocStep::kLength, DocStep::kBody, DocStep::kInnerText};
  const Steps plain{DocStep::kDocument2, DocStep::kBody, DocStep::kInnerText};
  const auto plus = [](Steps a, const Steps& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const Hwnd ann = client.Open("IM with ann", u"ann: hi").view;
  KeptDocuments kept;
  std::chrono::steady_clock::time_point now;
  struct Case {
    const char* what;
    Hwnd target;
    std::function<void()> change;
    bool read;
    Steps steps;
    Answer how;
  };
  const auto nothing = [] {};
  const Case cases[] = {
      {"first capture", view, [&] { client.Show(view, u"bob: 1"); }, true, full, Answer::kRead},
      {"unchanged: no request, no read", view, nothing, false, probe, Answer::kUnchanged},
      {"a line came", view, [&] { client.Append(view, u"\r\nbob: 2"); }, false, plus(probe, full), Answer::kRead},
      {"a line being written", view, [&] { client.Append(view, u"\r\nbob: 3\r\n"); }, false, plus(probe, full), Answer::kRead},
      {"read again until it is written", view, [&] { client.Append(view, u"bob: 4"); }, false, full, Answer::kRead},
      {"asked for in full", view, nothing, true, full, Answer::kRead},
      {"text added inside a line: unseen", view, [&] { client.Append(view, u" more"); }, false, probe, Answer::kUnchanged},
      {"the safety read finds it", view, [&] { now += kSafetyReadInterval; }, false, plus(probe, full), Answer::kRead},
      {"a probe that missed is not trusted again", view, nothing, false, plain, Answer::kRead},
      {"another view's first capture", ann, nothing, true, full, Answer::kRead},
      {"a probe that fails reads once", ann, [&] { client.Document(ann).failAt = DocStep::kLength; }, false,
       plus(probe, full), Answer::kRead},
      {"and is trusted again", ann, [&] { client.Document(ann).failAt.reset(); }, false, full, Answer::kRead},
      {"", ann, nothing, false, probe, Answer::kUnchanged},
      {"unsupported: read every time", ann, [&] { client.Document(ann).probeUnsupported = true; }, false,
       plus(probe, plain), Answer::kRead},
      {"", ann, nothing, false, plain, Answer::kRead},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.change();
    client.documents.ClearSteps();
    const IMTextResult result = CaptureView(ctx, c.target, kept, c.read, now);
    EXPECT_EQ(client.documents.Steps(), c.steps);
    EXPECT_EQ(result.How, c.how);
    if (c.how == Answer::kRead) {
      EXPECT_EQ(result.Text + u"\r\n...", client.Document(c.target).innerText);
    }
  }
  kept.Release(view);
  kept.Release(ann);
  EXPECT_EQ(client.documents.Live(), 0);
}

}  // namespace
}  // namespace murmuro
