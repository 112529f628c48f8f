// The scan against the sample client running as another process.
#include <algorithm>
#include <map>
#include <utility>

#include "win_test_support.h"

namespace murmuro::wintest {
namespace {

class DiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    client = LaunchClient(L"discovery");
    ASSERT_NE(client, nullptr) << "the sample client did not start (MURMURO_IM_CLIENT)";
  }

  Hwnd Open(std::string_view command) { return AsHwnd(Must(*client, command)); }

  std::vector<Hwnd> ScannedParents() const {
    std::vector<Hwnd> found;
    for (const auto& parent : state.ParentWindows) found.push_back(parent->hwnd);
    return found;
  }
  std::vector<std::pair<Hwnd, Hwnd>> ScannedViews() const {
    std::vector<std::pair<Hwnd, Hwnd>> found;
    for (const auto& view : state.IMWindows) found.emplace_back(view->ParenthWnd, view->hwnd);
    return found;
  }

  // What the scan's captures answered, by view.
  std::map<Hwnd, IMTextResult> Answers() {
    std::map<Hwnd, IMTextResult> answers;
    for (auto& done : platform.captures.TakeFinished()) {
      DWORD process = 0;
      EXPECT_EQ(done.view.thread, ::GetWindowThreadProcessId(win32::ToHwnd(done.view.hwnd), &process));
      EXPECT_EQ(done.view.process, process);
      answers[done.view.hwnd] = std::move(done.result);
    }
    return answers;
  }

  Win32Platform platform;
  ProgramState state;
  std::unique_ptr<im_client::ClientProcess> client;
};

bool Contains(const std::vector<Hwnd>& list, Hwnd window) {
  return std::find(list.begin(), list.end(), window) != list.end();
}

TEST_F(DiscoveryTest, FindsConversationsInEnumerationOrderWithTheirViewsGrouped) {
  const Hwnd bob = Open("open bob views=1,3 title=IM with bob");
  const Hwnd chat = Open("open chat hidden title=Chat - instant message");
  const Hwnd jim = Open("open jim views=0 title=jim WITHERS");
  const Hwnd ann = Open("open ann views=2,1 title=Meeting - Instant Message (ann)");
  Must(*client, "set bob 1 text=bob: first view");
  Must(*client, "set bob 2 text=bob: nested view");
  Must(*client, "set chat 1 text=carl: hidden one");
  Must(*client, "set ann 1 text=ann: deep");
  Must(*client, "set ann 2 text=ann: shallow");
  ASSERT_FALSE(::IsWindowVisible(win32::ToHwnd(chat)));

  ReadWindows(state, platform.Scan());

  // The window system's own order, restricted to the client's conversations.
  std::vector<Hwnd> expectedParents;
  for (HWND w : TopLevelWindows()) {
    const Hwnd h = win32::FromHwnd(w);
    if (h == bob || h == chat || h == jim || h == ann) expectedParents.push_back(h);
  }
  ASSERT_EQ(expectedParents.size(), 4u);
  EXPECT_EQ(ScannedParents(), expectedParents);

  std::vector<std::pair<Hwnd, Hwnd>> expectedViews;
  for (const Hwnd parent : expectedParents) {
    for (HWND w : Descendants(win32::ToHwnd(parent))) {
      if (ClassOf(w) == "Internet Explorer_Server") expectedViews.emplace_back(parent, win32::FromHwnd(w));
    }
  }
  ASSERT_EQ(expectedViews.size(), 5u);
  EXPECT_EQ(ScannedViews(), expectedViews);

  // Each view is handed a capture, whose answer is what it shows (the client's bodies end in five
  // extra characters).
  const auto answers = Answers();
  const std::pair<const char*, const char16_t*> primed[] = {
      {"view bob 1", u"bob: first view"}, {"view bob 2", u"bob: nested view"},
      {"view chat 1", u"carl: hidden one"}, {"view ann 1", u"ann: deep"},
      {"view ann 2", u"ann: shallow"}};
  for (const auto& [query, text] : primed) {
    const Hwnd view = AsHwnd(Must(*client, query));
    ASSERT_EQ(answers.count(view), 1u) << query;
    EXPECT_EQ(answers.at(view).Text, Text(text)) << query;
  }
  const auto jimEntry = std::find_if(state.ParentWindows.begin(), state.ParentWindows.end(),
                                     [&](const auto& p) { return p->hwnd == jim; });
  ASSERT_NE(jimEntry, state.ParentWindows.end());
  EXPECT_EQ((*jimEntry)->WindowName, u"jim WITHERS");
  EXPECT_TRUE(platform.timer.Enabled());
}

TEST_F(DiscoveryTest, TitlesMatchEitherPhraseAnywhereIgnoringCase) {
  const std::pair<const char*, bool> titles[] = {
      {"Chat - instant message", true},
      {"jim WITHERS", true},
      {"IM with bob", true},
      {"bob - INSTANT MESSAGE - today", true},
      {"slim withers", true},  // "im with" across two words
      {"IMwith", false},
      {"Instant Message", false},
      {"-Instant Message", false},
      {"I M with", false},
      {"", false},
  };
  std::vector<std::pair<Hwnd, bool>> opened;
  int n = 0;
  for (const auto& [title, matches] : titles) {
    const std::string command =
        "open t" + std::to_string(n++) + " views=0 title=" + std::string(title);
    opened.emplace_back(Open(command), matches);
  }

  ReadWindows(state, platform.Scan());

  const std::vector<Hwnd> parents = ScannedParents();
  for (std::size_t i = 0; i < opened.size(); ++i) {
    EXPECT_EQ(Contains(parents, opened[i].first), opened[i].second) << '"' << titles[i].first << '"';
  }
  EXPECT_EQ(parents.size(), 5u);
  EXPECT_TRUE(state.IMWindows.Empty());
}

TEST_F(DiscoveryTest, OnlyWindowsOfExactlyTheViewClassAreViews) {
  const Hwnd window = Open(
      "open x views=1 decoy=Internet\\sExplorer_Server2 decoy=Internet_Explorer_Server "
      "decoy=Internet\\sExplorer_Serve title=IM with x");
  Must(*client, "set x 1 text=x: only this one");
  // The look-alikes really are there, spelled as meant.
  std::vector<std::string> classes;
  for (HWND w : Descendants(win32::ToHwnd(window))) classes.push_back(ClassOf(w));
  for (const char* name : {"Internet Explorer_Server2", "Internet_Explorer_Server",
                           "Internet Explorer_Serve", "Internet Explorer_Server"}) {
    EXPECT_NE(std::find(classes.begin(), classes.end(), name), classes.end()) << name;
  }

  ReadWindows(state, platform.Scan());

  ASSERT_EQ(state.IMWindows.Count(), 1u);
  EXPECT_EQ(state.IMWindows.Item(1)->hwnd, AsHwnd(Must(*client, "view x 1")));
  EXPECT_EQ(state.IMWindows.Item(1)->ParenthWnd, window);
  EXPECT_EQ(Answers().at(state.IMWindows.Item(1)->hwnd).Text, u"x: only this one");
}

TEST_F(DiscoveryTest, AViewThatCannotBeReadIsListedUnprimed) {
  const Hwnd window = Open("open short views=1,1 trailer= title=IM with short");
  Must(*client, "set short 1 text=abcd");
  Must(*client, "set short 2 text=hello world");

  ReadWindows(state, platform.Scan());

  ASSERT_EQ(state.IMWindows.Count(), 2u);
  EXPECT_EQ(state.IMWindows.Item(1)->ParenthWnd, window);
  EXPECT_EQ(state.IMWindows.Item(1)->State, clsIMWindow::Start::kUnprimed);
  const auto answers = Answers();
  EXPECT_EQ(answers.at(state.IMWindows.Item(1)->hwnd).How, Answer::kTooShort);
  EXPECT_EQ(answers.at(state.IMWindows.Item(2)->hwnd).Text, u"hello ");
}

}  // namespace
}  // namespace murmuro::wintest
