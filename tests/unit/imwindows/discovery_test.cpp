#include "imwindows/discovery.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "core/cp1252_codec.h"
#include "fakes/fake_im_client.h"
#include "fakes/fake_timer.h"

namespace murmuro {
namespace {

using fakes::FakeIMClient;
using fakes::WindowCall;
using View = std::tuple<Hwnd, Hwnd, Text>;  // ParenthWnd, hwnd, IMText
using Start = clsIMWindow::Start;

class DiscoveryTest : public ::testing::Test {
 protected:
  void Scan() {
    ReadWindows(state, ctx);
    EXPECT_EQ(client.documents.Live(), 0);
    EXPECT_TRUE(timer.enabled) << "a scan always leaves the timer on";
  }
  std::vector<Hwnd> Parents() const {
    std::vector<Hwnd> out;
    for (const auto& p : state.ParentWindows) out.push_back(p->hwnd);
    return out;
  }
  std::vector<View> Views() const {
    std::vector<View> out;
    for (const auto& v : state.IMWindows) out.emplace_back(v->ParenthWnd, v->hwnd, v->IMText);
    return out;
  }
  std::size_t Captures(Hwnd view) const { return client.desktop.CountCalls("SendMessageTimeoutA", view); }

  FakeIMClient client;
  Cp1252Codec codec;
  fakes::FakeTimer timer;
  ProgramState state;
  DirectCaptures captures{CaptureContext{client.desktop, client.documents}, state.ReadingSwitchedOn};
  ScanContext ctx{client.desktop, captures, codec, timer};
};

TEST_F(DiscoveryTest, TitleTestIgnoresCaseAndFindsThePhraseAnywhere) {
  struct Case {
    const char* title;
    bool matches;
  };
  const Case cases[] = {
      {"IM with bob", true},           {"Chat - instant message", true},
      {"jim WITHERS", true},           {"xx- INSTANT MESSAGEyy", true},
      {"IMwith", false},               {"Instant Message", false},
      {"-Instant Message", false},     {"IM  with", false},
      {"", false},                     {"im wit", false},
  };
  std::vector<Hwnd> expected;
  for (const auto& c : cases) {
    const Hwnd window = client.desktop.Create(0, c.title, "AnyProgram");
    if (c.matches) expected.push_back(window);
    EXPECT_EQ(IsConversationTitle(Latin1ToText(c.title)), c.matches) << c.title;
  }
  // Hidden windows are scanned like any other.
  client.desktop.SetHidden(expected.front(), true);
  Scan();
  EXPECT_EQ(Parents(), expected);
  EXPECT_EQ(state.ParentWindows.Item(2)->WindowName, u"Chat - instant message");
  EXPECT_TRUE(state.IMWindows.Empty()) << "windows without views contribute nothing";
}

TEST_F(DiscoveryTest, ClassTestIsExactAndReachesEveryDepth) {
  const Hwnd window = client.desktop.Create(0, "IM with bob", "Frame");
  const Hwnd lower = client.desktop.Create(window, "", "internet explorer_server");
  const Hwnd longer = client.desktop.Create(window, "", "Internet Explorer_Server2");
  const Hwnd shorter = client.desktop.Create(lower, "", "Internet Explorer_Serve");
  const Hwnd deep = client.AddView(shorter, u"bob: deep", 3);
  const Hwnd nested = client.AddView(deep, u"bob: nested", 1);  // below another view
  const Hwnd direct = client.AddView(window, u"bob: direct", 1);
  Scan();
  (void)longer;
  EXPECT_EQ(Views(), (std::vector<View>{{window, deep, Text(kCrLf)},
                                        {window, nested, Text(kCrLf)},
                                        {window, direct, Text(kCrLf)}}));
}

TEST_F(DiscoveryTest, ViewsAreGroupedByConversationInEnumerationOrder) {
  const auto bob = client.Open("IM with bob", u"bob: 1");
  client.desktop.Create(0, "Editor", "Frame");
  const auto ann = client.Open("ann - Instant Message", u"ann: 2");
  const Hwnd bob2 = client.AddView(bob.window, u"bob: 3", 1);
  const auto tiny = client.Open("IM with cy", u"");
  client.SetBody(tiny.view, u"cy");
  Scan();
  EXPECT_EQ(Parents(), (std::vector<Hwnd>{bob.window, ann.window, tiny.window}));
  EXPECT_EQ(Views(), (std::vector<View>{{bob.window, bob.view, Text(kCrLf)},
                                        {bob.window, bob2, Text(kCrLf)},
                                        {ann.window, ann.view, Text(kCrLf)},
                                        {tiny.window, tiny.view, Text(kCrLf)}}));
  // Primed by their first answers, which the scan hands out and does not wait for.
  for (const auto& view : state.IMWindows) EXPECT_EQ(view->State, Start::kUnprimed);
  std::vector<Hwnd> asked;
  for (const auto& done : captures.TakeFinished()) asked.push_back(done.view.hwnd);
  EXPECT_EQ(asked, (std::vector<Hwnd>{bob.view, bob2, ann.view, tiny.view}));
}

TEST_F(DiscoveryTest, NoConversationLeavesBothListsEmptyAndTheTimerOn) {
  state.ParentWindows.Add(std::make_shared<clsParentWindow>());
  state.IMWindows.Add(std::make_shared<clsIMWindow>());
  client.desktop.Create(0, "Editor", "Frame");
  Scan();
  EXPECT_TRUE(state.ParentWindows.Empty());
  EXPECT_TRUE(state.IMWindows.Empty());
  EXPECT_EQ(timer.calls, (std::vector<bool>{false, true}));
}

// After the first scan, views never listed before are new conversations: listed with empty text,
// so that their first answer reads their opening line.
TEST_F(DiscoveryTest, ARescanKeepsTheLastKnownTextOfViewsFoundAgainAndListsNewOnesAsNew) {
  const auto bob = client.Open("IM with bob", u"bob: 1");
  Scan();
  const auto heldEntry = state.IMWindows.Item(1);
  heldEntry->IMText = u"as last polled";
  heldEntry->State = Start::kKnown;
  client.Append(bob.view, u"\r\nbob: 2");
  const auto ann = client.Open("IM with ann", u"ann: 1");
  const Hwnd bob2 = client.AddView(bob.window, u"bob: other", 1);
  client.desktop.ClearLog();
  Scan();
  EXPECT_EQ(Views(), (std::vector<View>{{bob.window, bob.view, u"as last polled"},
                                        {bob.window, bob2, u""},
                                        {ann.window, ann.view, u""}}));
  EXPECT_EQ(client.desktop.Sent().size(), 3u) << "every view listed is handed its capture";
  EXPECT_EQ(state.IMWindows.Item(1)->State, Start::kKnown);
  EXPECT_EQ(state.IMWindows.Item(2)->State, Start::kNew);
  EXPECT_EQ(state.IMWindows.Item(3)->State, Start::kNew);
  EXPECT_EQ(heldEntry->IMText, u"as last polled") << "an entry held by a caller stays valid";
}

// A view missing from one scan while its window lives comes back where it was; a handle that
// now names another window, or a window that has gone, starts afresh.
TEST_F(DiscoveryTest, AViewThatLeftTheListResumesOnlyAsTheSameWindow) {
  const auto bob = client.Open("IM with bob", u"bob: 1");
  const auto ann = client.Open("IM with ann", u"ann: 1");
  Scan();
  for (const auto& view : state.IMWindows) view->State = Start::kKnown;
  state.IMWindows.Item(1)->IMText = u"bob as last polled";
  state.IMWindows.Item(2)->IMText = u"ann as last polled";
  bool failing = true;
  client.desktop.beforeCall = [&](const WindowCall& call) {
    if (failing && call.name == "EnumChildWindows") throw std::runtime_error("window failed");
  };
  Scan();
  ASSERT_TRUE(state.IMWindows.Empty());
  failing = false;
  // ann's view goes, and a window of another thread gets its handle before any tick looked.
  client.desktop.Destroy(ann.view);
  client.desktop.SetOwner(ann.window, 7, 100);
  client.desktop.ReuseHandle(ann.view);
  const Hwnd reused = client.AddView(ann.window, u"ann: 3", 1);
  ASSERT_EQ(reused, ann.view);
  Scan();
  EXPECT_EQ(Views(), (std::vector<View>{{bob.window, bob.view, u"bob as last polled"}, {ann.window, reused, u""}}));
  EXPECT_EQ(state.IMWindows.Item(1)->State, Start::kKnown);
  EXPECT_EQ(state.IMWindows.Item(2)->State, Start::kNew) << "not the view that left";

  // A view that left and whose window then went is forgotten at the next tick.
  failing = true;
  Scan();
  ASSERT_EQ(state.LeftViews.size(), 2u);
  client.Close(bob.window);
  ForgetClosedViews(state, ctx);
  ASSERT_EQ(state.LeftViews.size(), 1u);
  EXPECT_EQ(state.LeftViews.front().hwnd, reused);
}

// A view is known by its handle and the thread and process that own it, wherever it stands: a
// client may move it into another window. The same handle of another thread is another view.
TEST_F(DiscoveryTest, AViewIsKnownByItsHandleAndOwnerWhereverItStands) {
  const auto bob = client.Open("IM with bob", u"bob: now");
  const auto tabs = client.Open("IM with the others", u"");
  for (const std::uint32_t thread : {1u, 2u}) {
    SCOPED_TRACE(thread);
    auto known = std::make_shared<clsIMWindow>();
    known->ParenthWnd = tabs.window;
    known->hwnd = bob.view;
    known->Thread = thread;
    known->Process = 100;
    known->IMText = u"as last polled";
    known->State = Start::kKnown;
    state = ProgramState{};
    state.Scanned = true;
    state.IMWindows.Add(known);
    Scan();
    ASSERT_EQ(state.IMWindows.Count(), 2u);
    const auto& view = *state.IMWindows.Item(1);
    EXPECT_EQ(view.ParenthWnd, bob.window);
    EXPECT_EQ(view.IMText, thread == 1 ? u"as last polled" : u"");
    EXPECT_EQ(view.State, thread == 1 ? Start::kKnown : Start::kNew);
    EXPECT_TRUE(state.LeftViews.empty()) << "nothing stale is left behind";
  }
}

TEST_F(DiscoveryTest, WindowsThatVanishDuringTheScanAreSkippedOrListedAsUnreadable) {
  const auto gone = client.Open("IM with gone", u"x: 1");
  const auto half = client.Open("IM with half", u"y: 1");
  const auto bob = client.Open("IM with bob", u"bob: 1");
  const auto late = client.Open("IM with late", u"z: 1");
  client.desktop.beforeCall = [&](const WindowCall& call) {
    if (call.name == "GetWindowTextLengthA" && call.window == gone.window) client.Close(gone.window);
    if (call.name == "GetWindowTextA" && call.window == half.window) client.Close(half.window);
    if (call.name == "SendMessageTimeoutA" && call.window == late.view) client.Close(late.window);
  };
  Scan();
  EXPECT_EQ(Parents(), (std::vector<Hwnd>{bob.window, late.window}));
  EXPECT_EQ(Views(), (std::vector<View>{{bob.window, bob.view, Text(kCrLf)},
                                        {late.window, late.view, Text(kCrLf)}}));
}

TEST_F(DiscoveryTest, AFailingStepIsSkippedAndTheScanGoesOn) {
  const auto bob = client.Open("IM with bob", u"bob: 1");
  const auto ann = client.Open("IM with ann", u"ann: 1");
  const auto cy = client.Open("IM with cy", u"cy: 1");
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::vector<Hwnd> parents;
    std::vector<Hwnd> views;
  };
  const auto throwAt = [&](std::string name, Hwnd window) {
    client.desktop.beforeCall = [=](const WindowCall& call) {
      if (call.name == name && call.window == window) throw std::runtime_error("failed");
    };
  };
  const Case cases[] = {
      {"timer off fails", [&] { timer.failWhenSetTo = false; },
       {bob.window, ann.window, cy.window}, {bob.view, ann.view, cy.view}},
      {"title read fails: the enumeration stops, the views are still looked for",
       [&] { throwAt("GetWindowTextLengthA", cy.window); }, {bob.window, ann.window}, {bob.view, ann.view}},
      {"class read fails: only that window's search for views is abandoned",
       [&] { throwAt("GetClassNameA", ann.view); }, {bob.window, ann.window, cy.window}, {bob.view, cy.view}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    state = ProgramState{};
    c.arrange();
    Scan();
    client.desktop.beforeCall = nullptr;
    timer.failWhenSetTo.reset();
    EXPECT_EQ(Parents(), c.parents);
    std::vector<Hwnd> views;
    for (const auto& v : state.IMWindows) views.push_back(v->hwnd);
    EXPECT_EQ(views, c.views);
  }
}

TEST_F(DiscoveryTest, TitleBufferAndCountRules) {
  const Hwnd window = client.desktop.Create(0, "caf\xE9 \x80", "Frame");
  EXPECT_EQ(GetWindowTitle(client.desktop, codec, window), u"caf\u00e9 \u20ac");
  EXPECT_EQ(client.desktop.Calls().back().maxCount, 8) << "title length plus two";

  // The title grows between the two calls: the count copied limits it.
  client.desktop.beforeCall = [&](const WindowCall& call) {
    if (call.name == "GetWindowTextA") client.desktop.SetTitle(window, "abcdefghij");
  };
  client.desktop.SetTitle(window, "abc");
  EXPECT_EQ(GetWindowTitle(client.desktop, codec, window), u"abcd");

  // Gone in between: empty, and an empty title makes no second call.
  client.desktop.beforeCall = [&](const WindowCall& call) {
    if (call.name == "GetWindowTextA") client.desktop.Destroy(window);
  };
  EXPECT_EQ(GetWindowTitle(client.desktop, codec, window), u"");
  client.desktop.ClearLog();
  EXPECT_EQ(GetWindowTitle(client.desktop, codec, window), u"");
  EXPECT_EQ(client.desktop.CountCalls("GetWindowTextA"), 0u);
}

TEST_F(DiscoveryTest, ClassBufferHoldsTwoHundredFiftyNineCharacters) {
  const std::string longName(300, 'k');
  const Hwnd window = client.desktop.Create(0, "", longName);
  EXPECT_EQ(GetWindowClass(client.desktop, codec, window), Text(259, u'k'));
  EXPECT_EQ(client.desktop.Calls().back().maxCount, 260);
  EXPECT_EQ(GetWindowClass(client.desktop, codec, window + 1000), u"");
}

TEST_F(DiscoveryTest, UnlistedConversationIsNoticedByTitleAlone) {
  const auto bob = client.Open("IM with bob", u"bob: 1");
  Scan();
  EXPECT_FALSE(HasUnlistedConversation(state, ctx));
  client.desktop.Create(0, "Editor", "Frame");
  EXPECT_FALSE(HasUnlistedConversation(state, ctx));
  client.Close(bob.window);
  EXPECT_FALSE(HasUnlistedConversation(state, ctx)) << "a listed window that closed is not new";
  const auto ann = client.Open("ann - instant message", u"");
  client.desktop.ClearLog();
  EXPECT_TRUE(HasUnlistedConversation(state, ctx));
  EXPECT_EQ(client.desktop.Sent().size(), 0u) << "nothing is captured";
  EXPECT_EQ(client.desktop.CountCalls("GetWindowTextLengthA", ann.window), 1u);
}

TEST_F(DiscoveryTest, AListedConversationWhoseViewCameLaterCountsAsUnlisted) {
  client.Open("IM with bob", u"bob: 1");
  const Hwnd decoy = client.desktop.Create(0, "IM with nobody", "Frame");
  client.desktop.Create(decoy, "", "Internet Explorer_Server2");
  const Hwnd dee = client.desktop.Create(0, "IM with dee", "Frame");
  Scan();
  ASSERT_EQ(state.ParentWindows.Count(), 3u);
  client.desktop.ClearLog();
  EXPECT_FALSE(HasUnlistedConversation(state, ctx)) << "windows that stay viewless cost a look only";
  EXPECT_EQ(client.desktop.Sent().size(), 0u);
  EXPECT_EQ(client.desktop.CountCalls("EnumChildWindows"), 2u) << "only the viewless windows are searched";

  const Hwnd view = client.AddView(dee, u"dee: 1");
  client.desktop.ClearLog();
  EXPECT_TRUE(HasUnlistedConversation(state, ctx));
  EXPECT_EQ(client.desktop.Sent().size(), 0u) << "nothing is captured";
  Scan();
  EXPECT_FALSE(HasUnlistedConversation(state, ctx));
  EXPECT_EQ(Captures(view), 1u) << "a new conversation, captured by the scan that finds it";
  EXPECT_EQ(state.IMWindows.Item(2)->State, clsIMWindow::Start::kNew);
}

}  // namespace
}  // namespace murmuro
