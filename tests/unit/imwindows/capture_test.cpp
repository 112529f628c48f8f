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
// that changed, when asked to, after a read that ended in CR LF, and when the check finds a
// change or cannot be made; for good once the probe is unsupported or missed lines. The check,
// at the interval, asks for the document (a new page) and reads the text of the element that
// holds the end of the text; once that grew it is read at every capture. A probe that fails
// reads once.
TEST_F(CaptureTest, AProbeBeforeTheReadReadsOnlyWhatItCannotRuleOut) {
  using Steps = std::vector<DocStep>;
  using enum DocStep;
  const Steps probe{kLength};
  const Steps counted{kAll, kLength, kBody, kItem, kLineText, kInnerText};  // a document at hand
  const Steps full{kDocument2, kAll, kLength, kBody, kItem, kLineText, kInnerText};
  const Steps endless{kDocument2, kAll, kLength, kBody, kItem, kLineText, kParent, kInnerText};
  const Steps refused{kDocument2, kAll, kLength, kBody, kItem, kInnerText};
  const Steps plain{kDocument2, kBody, kInnerText};
  const auto plus = [](Steps a, const Steps& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const Hwnd ann = client.Open("IM with ann", u"ann: hi").view;
  const Hwnd cy = client.Open("IM with cy", Text(5000, u'y')).view;
  KeptDocuments kept;
  std::chrono::steady_clock::time_point now;
  const auto later = [&] { now += kSafetyReadInterval; };
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
      {"a line being written: its end is no element's", view, [&] { client.Append(view, u"\r\nbob: 3\r\n"); }, false,
       plus(probe, endless), Answer::kRead},
      {"read again until it is written", view, [&] { client.Append(view, u"bob: 4"); }, false, full, Answer::kRead},
      {"asked for in full", view, nothing, true, full, Answer::kRead},
      {"a line inside the last element: unseen before the interval", view,
       [&] {
         client.Append(view, u"\r\nbob: 5");
         client.Document(view).elementless = 1;
       },
       false, probe, Answer::kUnchanged},
      {"the check at the interval: the same page, the end grew", view, later, false,
       plus(plus(probe, {kDocument2, kLineText}), counted), Answer::kRead},
      {"then the end is checked at every capture, the probe still trusted", view,
       [&] { client.Append(view, u" and more"); }, false, plus(plus(probe, {kLineText}), full), Answer::kRead},
      {"the check sees nothing new", view, nothing, false, plus(probe, {kLineText}), Answer::kUnchanged},
      {"an edit of an earlier line: unseen", view,
       [&] { client.Show(view, u"bob: one\r\nbob: 2\r\nbob: 3\r\nbob: 4\r\nbob: 5 and more"); }, false,
       plus(probe, {kLineText}), Answer::kUnchanged},
      {"and at the interval too: no text is read", view, later, false, plus(probe, {kDocument2, kLineText}),
       Answer::kUnchanged},
      {"a new page with as many elements: unseen before the interval", view,
       [&] { client.Replace(view, u"bob: 1\r\nbob: 2\r\nbob: 3\r\nbob: again"); }, false, plus(probe, {kLineText}),
       Answer::kUnchanged},
      {"at the interval: another document, read in full", view, later, false, plus(plus(probe, {kDocument2}), counted),
       Answer::kRead},
      {"the new page's count is trusted", view, [&] { client.Append(view, u"\r\nbob: new"); }, false,
       plus(probe, full), Answer::kRead},

      // A view whose end cannot be had is read in full at the interval; that read distrusts the
      // probe only when it finds more lines than the count showed.
      {"another view, whose elements cannot be had", ann, [&] { client.Document(ann).failAt = kItem; }, true, refused,
       Answer::kRead},
      {"", ann, nothing, false, probe, Answer::kUnchanged},
      {"an edit: read at the interval", ann, [&] { later(); client.Show(ann, u"ann: hi!"); }, false,
       plus(plus(probe, {kDocument2}), {kAll, kLength, kBody, kItem, kInnerText}), Answer::kRead},
      {"is no miss", ann, nothing, false, probe, Answer::kUnchanged},
      {"a line came during the read at the interval", ann,
       [&] {
         later();
         client.Document(ann).beforeStep = [&](DocStep step) {
           if (step == kInnerText) client.Show(ann, u"ann: hi!\r\nann: now");
         };
       },
       false, plus(plus(probe, {kDocument2}), {kAll, kLength, kBody, kItem, kInnerText, kLength}), Answer::kRead},
      {"is no miss: its count shows it at the next capture", ann, [&] { client.Document(ann).beforeStep = nullptr; },
       false, plus(probe, refused), Answer::kRead},
      {"", ann, nothing, false, probe, Answer::kUnchanged},
      {"a short answer at the interval", ann,
       [&] {
         later();
         client.Document(ann).beforeStep = [&](DocStep step) {
           if (step == kInnerText) client.Document(ann).innerText = u"ab";
         };
       },
       false, plus(plus(probe, {kDocument2}), {kAll, kLength, kBody, kItem, kInnerText}), Answer::kTooShort},
      {"is no miss either", ann,
       [&] {
         client.Document(ann).beforeStep = nullptr;
         client.Show(ann, u"ann: hi!\r\nann: now");
       },
       false, probe, Answer::kUnchanged},
      {"asked for in full", ann, nothing, true, refused, Answer::kRead},
      {"more lines than the count showed: missed", ann,
       [&] {
         later();
         client.Append(ann, u"\r\nann: 3");
         client.Document(ann).elementless = 1;
       },
       false, plus(plus(probe, {kDocument2}), {kAll, kLength, kBody, kItem, kInnerText, kLength}), Answer::kRead},
      {"a probe that missed is not trusted again", ann, nothing, false, plain, Answer::kRead},

      // An end as long as the text costs what the text does: read at the interval instead.
      {"one long line", cy, nothing, true, full, Answer::kRead},
      {"", cy, nothing, false, probe, Answer::kUnchanged},
      {"at the interval", cy, later, false, plus(plus(probe, {kDocument2}), counted), Answer::kRead},
      {"a probe that fails reads once", cy, [&] { client.Document(cy).failAt = kLength; }, false,
       plus(probe, {kDocument2, kAll, kLength, kBody, kInnerText}), Answer::kRead},
      {"and is trusted again", cy, [&] { client.Document(cy).failAt.reset(); }, false, full, Answer::kRead},
      {"", cy, nothing, false, probe, Answer::kUnchanged},
      {"unsupported: read every time", cy, [&] { client.Document(cy).probeUnsupported = true; }, false,
       plus(probe, plain), Answer::kRead},
      {"", cy, nothing, false, plain, Answer::kRead},
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
  kept.Release(cy);
  EXPECT_EQ(client.documents.Live(), 0);
}

}  // namespace
}  // namespace murmuro
