// A window class whose name differs from the view class only in case is not a view.
// Class names are atoms, shared by every process on the desktop and spelled as first
// registered: this runs in a prefix of its own where nothing has registered the view class.
#include "win_test_support.h"

namespace murmuro::wintest {
namespace {

TEST(ClassCaseTest, AClassDifferingOnlyInCaseIsNotAView) {
  Win32Platform platform;
  ProgramState state;
  const auto client = LaunchClient(L"classcase");
  ASSERT_NE(client, nullptr) << "the sample client did not start (MURMURO_IM_CLIENT)";
  const Hwnd window = AsHwnd(Must(*client,
                                  "open lower views=0 decoy=internet\\sexplorer_server "
                                  "decoy=INTERNET\\sEXPLORER_SERVER title=IM with lower"));
  const auto children = Descendants(win32::ToHwnd(window));
  std::vector<std::string> classes;
  for (HWND w : children) classes.push_back(ClassOf(w));
  // Both windows share one class; it reads as it was first spelled.
  ASSERT_EQ(std::count(classes.begin(), classes.end(), "internet explorer_server"), 2)
      << "the look-alike class does not read in lower case here; the check would prove nothing";

  ReadWindows(state, platform.Scan());

  ASSERT_EQ(state.ParentWindows.Count(), 1u);
  EXPECT_EQ(state.ParentWindows.Item(1)->hwnd, window);
  EXPECT_TRUE(state.IMWindows.Empty());
}

}  // namespace
}  // namespace murmuro::wintest
