// The tray icon and its popup menu of the real program: the icon comes and goes with the
// program, only the right button's release opens the menu, "Use Murmuro" switches the check
// mark and the reading together, Exit saves what changed and ends, and a restarted shell, or a
// display whose settings changed, gets the icon back.
#include <gtest/gtest.h>

#include <fstream>

#include "e2e/support/murmuro_run.h"
#include "e2e/ui/conversation.h"
#include "e2e/ui/program_windows.h"

namespace murmuro::e2e {
namespace {

// The check column of the menu's first item, in the menu picture's own pixels.
constexpr RECT kFirstItemCheck{2, 2, 16, 20};

class TrayMenu : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(RegisterRecordingVoice()); }

  // Opens the menu as the shell does on a right-button release and waits for it.
  static HWND OpenMenu(const MurmuroRun& run) {
    PostRightButtonUp(run.Window());
    return WaitForPopupMenu(run.ProcessId());
  }

  // Whether the open menu shows a check mark before "Use Murmuro", as a person sees it (the
  // shell gives no other process the menu's items). Nothing may be highlighted yet.
  static std::optional<bool> FirstItemChecked(HWND menu, const std::string& picture) {
    const auto file = Screenshot(WindowRect(menu), picture);
    if (!file) return std::nullopt;
    const auto ink = DarkPixels(*file, kFirstItemCheck);
    if (!ink) return std::nullopt;
    return *ink > 0;
  }
};

TEST_F(TrayMenu, IconIsThereWhileRunningAndTheMenusExitRemovesItAndEnds) {
  MurmuroRun run("1\r\n0\r\nlol,laughing out loud");
  ASSERT_TRUE(run.Start());
  HWND window = run.Window();
  ASSERT_TRUE(WaitUntil([&] { return TrayIconExists(window); })) << "the icon is in the notification area";
  const auto tray = Screenshot(kTrayArea, "tray-area.png");
  ASSERT_TRUE(tray);
  const POINT icon{kTrayIconPoint.x - kTrayArea.left, kTrayIconPoint.y - kTrayArea.top};
  EXPECT_GT(DarkPixels(*tray, RECT{icon.x - 8, icon.y - 8, icon.x + 8, icon.y + 8}).value_or(0), 10)
      << "the icon is drawn where the test clicks";

  // A person right-clicks the icon; the menu opens at the mouse, pushed inside the screen.
  ASSERT_TRUE(ClickAt(kTrayIconPoint, 3));
  HWND menu = WaitForPopupMenu(run.ProcessId());
  ASSERT_NE(menu, nullptr) << "the right button opens the menu";
  const RECT at = WindowRect(menu);
  EXPECT_TRUE(at.left <= kTrayIconPoint.x && kTrayIconPoint.x <= at.right && at.top <= kTrayIconPoint.y &&
              kTrayIconPoint.y <= at.bottom)
      << at.left << "," << at.top << " " << at.right << "," << at.bottom;
  EXPECT_EQ(FirstItemChecked(menu, "popup-menu.png"), std::optional<bool>(true)) << "reading is on (1)";
  EXPECT_EQ(run.Settings(), "1\r\n0\r\nlol,laughing out loud") << "nothing written yet";

  // The user fixes kel.dat in an editor meanwhile; nothing changed in Murmuro, so Exit keeps the fix.
  const std::string edited = "+1\r\n0\r\nbrb,be right back";
  std::ofstream(run.Folder() / "kel.dat", std::ios::binary) << edited;
  ChooseMenuItem(menu, MenuItem::Exit);
  EXPECT_TRUE(IconLeavesBeforeItsWindow(window)) << "the program takes its icon out";
  EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_FALSE(TrayIconExists(window));
  EXPECT_EQ(run.Settings(), edited);
}

TEST_F(TrayMenu, OnlyTheRightButtonsReleaseOpensTheMenu) {
  MurmuroRun run("1\r\n0\r\n");
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(WaitUntil([&] { return TrayIconExists(run.Window()); }));
  // Sent, not posted: each call returns once the program has handled it. A menu opened by one
  // of them would hold the call in its modal loop until the time-out.
  const struct {
    LPARAM code;
    const char* what;
  } ignored[] = {{WM_MOUSEMOVE, "movement"},         {WM_LBUTTONDOWN, "left down"},
                 {WM_LBUTTONUP, "left click"},       {WM_LBUTTONDBLCLK, "left double-click"},
                 {WM_RBUTTONDOWN, "right down"},     {WM_RBUTTONDBLCLK, "right double-click"},
                 {WM_MBUTTONUP, "middle click"},     {WM_CONTEXTMENU, "context menu"}};
  for (const auto& c : ignored) {
    SCOPED_TRACE(c.what);
    DWORD_PTR result = 0;
    EXPECT_TRUE(::SendMessageTimeoutW(run.Window(), kTrayCallback, 0, c.code, SMTO_NORMAL, 3000, &result));
    EXPECT_EQ(PopupMenuWindow(run.ProcessId()), nullptr);
  }

  HWND menu = OpenMenu(run);
  ASSERT_NE(menu, nullptr) << "the right button's release does";
  CloseMenu(menu);
  EXPECT_TRUE(WaitUntil([&] { return PopupMenuWindow(run.ProcessId()) == nullptr; }));
  EXPECT_EQ(::WaitForSingleObject(run.Process(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "closing it chose nothing";
  EXPECT_EQ(run.Settings(), "1\r\n0\r\n");
}

TEST_F(TrayMenu, UseMurmuroSwitchesTheCheckMarkAndReadingAndExitStoresIt) {
  struct Case {
    const char* reading;  // line 1 of the file at start
    bool checkedAtStart;
    bool readsAtStart;
    bool checkedAfter;  // after choosing "Use Murmuro" once
    bool readsAfter;
    const char* stored;  // line 1 after Exit
  };
  const Case cases[] = {
      {"0", false, false, true, true, "1"},
      {"1", true, true, false, false, "0"},
      {"2", false, true, false, false, "0"},  // on without a check mark; the first choice switches off
  };
  Conversation conversation(L"e2e-ui-tray");
  ASSERT_TRUE(conversation.Open());
  int line = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reading);
    const std::string file = std::string(c.reading) + "\r\n0\r\nlol,laughing out loud\r\n";
    MurmuroRun run(file);
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(conversation.WaitForWholeCapture()) << "the first scan has taken the conversation in";

    // Reading as it stands: a new line is spoken, or the program captures it and stays silent.
    const auto expectReading = [&](bool reads) {
      const std::size_t before = run.Transcribed().size();
      const std::string message = "line " + std::to_string(++line) + " lol";
      ASSERT_TRUE(conversation.Append("bob: " + message));
      if (reads) {
        const auto spoken = run.WaitForSpoken(before + 1);
        ASSERT_EQ(spoken.size(), before + 1);
        EXPECT_NE(spoken.back().Text.find("line " + std::to_string(line) + " laughing out loud"), std::string::npos)
            << ReadAll(run.Transcript());
      } else {
        ASSERT_TRUE(conversation.WaitForWholeCapture());
        EXPECT_EQ(run.Transcribed().size(), before) << "nothing spoken while reading is off";
      }
    };
    const auto menuShows = [&](bool checked, const char* picture) {
      HWND menu = OpenMenu(run);
      ASSERT_NE(menu, nullptr);
      EXPECT_EQ(FirstItemChecked(menu, picture), std::optional<bool>(checked));
      ChooseMenuItem(menu, MenuItem::UseMurmuro);
      ASSERT_TRUE(WaitUntil([&] { return PopupMenuWindow(run.ProcessId()) == nullptr; }));
    };

    expectReading(c.readsAtStart);
    const std::size_t beforeSwitch = run.Transcribed().size();
    menuShows(c.checkedAtStart, "popup-menu-start.png");
    if (!c.readsAfter) {
      // Off silences the voice at once: the purge is the one thing it is handed.
      const auto spoken = run.WaitForSpoken(beforeSwitch + 1);
      ASSERT_EQ(spoken.size(), beforeSwitch + 1);
      EXPECT_EQ(spoken.back().Flags, 3u) << "SPF_ASYNC | SPF_PURGEBEFORESPEAK: nothing waits for the audio device";
      EXPECT_EQ(spoken.back().Text, "");
    }
    expectReading(c.readsAfter);
    EXPECT_EQ(run.Settings(), file) << "the switch reaches the file only at exit";

    HWND menu = OpenMenu(run);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(FirstItemChecked(menu, "popup-menu-after.png"), std::optional<bool>(c.checkedAfter));
    ChooseMenuItem(menu, MenuItem::Exit);
    EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(run.Settings(), std::string(c.stored) + "\r\n0\r\nlol,laughing out loud\r\n");
  }
}

TEST_F(TrayMenu, IconComesBackWhenTheShellAnnouncesANewTaskbar) {
  MurmuroRun run("1\r\n0\r\n");
  ASSERT_TRUE(run.Start());
  HWND window = run.Window();
  ASSERT_TRUE(WaitUntil([&] { return TrayIconExists(window); }));
  const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
  ASSERT_NE(taskbarCreated, 0u);
  DWORD_PTR result = 0;

  // The shell lost the icon (it restarted): the announcement adds it again.
  ASSERT_TRUE(DeleteTrayIcon(window));
  ASSERT_FALSE(TrayIconExists(window));
  ASSERT_TRUE(::SendMessageTimeoutW(window, taskbarCreated, 0, 0, SMTO_NORMAL, 5000, &result));
  EXPECT_TRUE(TrayIconExists(window)) << "added again";

  // Announced while the icon is still there, or the display's settings changed (its scale, and
  // with it the icon's size): the icon is handed over afresh and stays, once.
  for (const UINT message : {taskbarCreated, static_cast<UINT>(WM_SETTINGCHANGE), static_cast<UINT>(WM_DISPLAYCHANGE)}) {
    ASSERT_TRUE(::SendMessageTimeoutW(window, message, 0, 0, SMTO_NORMAL, 5000, &result)) << message;
    EXPECT_TRUE(TrayIconExists(window)) << message;
    ASSERT_TRUE(DeleteTrayIcon(window));
    EXPECT_FALSE(TrayIconExists(window)) << message << ": one icon, not two";
    // One the shell lost comes back the same way.
    ASSERT_TRUE(::SendMessageTimeoutW(window, message, 0, 0, SMTO_NORMAL, 5000, &result)) << message;
    EXPECT_TRUE(TrayIconExists(window)) << message << ": added again";
  }
  ASSERT_TRUE(DeleteTrayIcon(window));

  // As the shell sends it: to every top-level window.
  ASSERT_TRUE(::SendMessageTimeoutW(HWND_BROADCAST, taskbarCreated, 0, 0, SMTO_ABORTIFHUNG, 5000, &result));
  EXPECT_TRUE(WaitUntil([&] { return TrayIconExists(window); }));

  // The icon that came back still answers a person's right-click with the menu.
  ASSERT_TRUE(ClickAt(kTrayIconPoint, 3));
  HWND menu = WaitForPopupMenu(run.ProcessId());
  ASSERT_NE(menu, nullptr);
  ChooseMenuItem(menu, MenuItem::Exit);
  EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_FALSE(TrayIconExists(window));
}

}  // namespace
}  // namespace murmuro::e2e
