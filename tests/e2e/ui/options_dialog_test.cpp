// The options dialog of the real program, opened from the tray menu and used with the mouse
// and the keyboard: its layout and keyboard walk, one window however often it is chosen, the
// acronym edits and Done as the settings file shows them, and what Exit keeps of an unfinished
// visit.
#include <gtest/gtest.h>

#include <cmath>
#include <cwctype>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/support/murmuro_run.h"
#include "e2e/ui/conversation.h"
#include "e2e/ui/program_windows.h"

namespace murmuro::e2e {
namespace {

// The design, in twips from the client area's top left corner, in window order: the controls that
// take focus in tab order, each label directly before the box it names for screen readers.
struct Design {
  const wchar_t* cls;
  const wchar_t* caption;
  int left, top, width, height;
};
constexpr Design kDesign[] = {
    {L"Button", L"Speak Active IM Window Messages Only", 3555, 255, 3810, 330},
    {L"ListBox", L"", 150, 210, 2985, 7050},
    {L"Static", L"Acronym Name:", 3570, 900, 2460, 225},
    {L"Edit", L"", 3570, 1155, 3435, 315},
    {L"Static", L"Acronym Meaning:", 3570, 1590, 2460, 225},
    {L"Edit", L"", 3570, 1845, 3435, 315},
    {L"Button", L"New", 3465, 2250, 1200, 390},
    {L"Button", L"Save", 4680, 2250, 1200, 390},
    {L"Button", L"Done", 5475, 6960, 1725, 405},
    {L"Button", L"Remove", 5895, 2250, 1200, 390},
};
enum Control { kTopOnly, kList, kNameTitle, kName, kMeaningTitle, kMeaning, kNew, kSave, kDone, kRemove };

// 15 twips a pixel at 96 dots per inch.
int Pixels(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

// A running program with its options dialog open.
class OptionsDialog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(RegisterRecordingVoice()); }

  // Right-click on the icon, "Options"; the dialog's window once it shows.
  static HWND ChooseOptions(const MurmuroRun& run) {
    PostRightButtonUp(run.Window());
    HWND menu = WaitForPopupMenu(run.ProcessId());
    if (!menu) return nullptr;
    ChooseMenuItem(menu, MenuItem::Options);
    HWND dialog = nullptr;
    WaitUntil([&] {
      const auto shown = Dialogs(run);
      dialog = shown.empty() ? nullptr : shown.front();
      return dialog && !PopupMenuWindow(run.ProcessId());
    });
    return dialog;
  }

  static std::vector<HWND> Dialogs(const MurmuroRun& run) {
    return VisibleWindows(run.ProcessId(), nullptr, L"Murmuro Options");
  }

  static void ChooseExit(const MurmuroRun& run) {
    PostRightButtonUp(run.Window());
    HWND menu = WaitForPopupMenu(run.ProcessId());
    ASSERT_NE(menu, nullptr);
    ChooseMenuItem(menu, MenuItem::Exit);
  }

  // The dialog's controls in window order; empty unless there are exactly as many as designed.
  static std::vector<HWND> ControlsOf(HWND dialog) {
    auto controls = Children(dialog);
    if (controls.size() != std::size(kDesign)) controls.clear();
    return controls;
  }

  static bool Click(HWND control) { return ClickAt(CentreOf(WindowRect(control))); }
  static bool ClickRow(HWND list, int row) { return ClickAt(ListRowPoint(list, row)); }
  // Keys typed into the control that has the focus, as text.
  static bool Type(const std::string& text) { return Xdotool("type --delay 20 '" + text + "'"); }

  static bool ShowsText(HWND control, const std::wstring& text) {
    return WaitUntil([&] { return TextOf(control) == text; });
  }
  static bool ShowsCheck(HWND box, LRESULT state) {
    return WaitUntil([&] { return Ask(box, BM_GETCHECK) == state; });
  }
  static bool ShowsRows(HWND list, const std::vector<std::wstring>& rows, int selected) {
    return WaitUntil([&] { return ListRows(list) == rows && Ask(list, LB_GETCURSEL) == selected; });
  }
};

TEST_F(OptionsDialog, StandsCentredWithItsControlsWhereDesigned) {
  MurmuroRun run("1\r\n0\r\nafk,away from keyboard\r\nbrb,be right back\r\nlol,laughing out loud\r\n");
  ASSERT_TRUE(run.Start());
  HDC screen = ::GetDC(nullptr);
  ASSERT_EQ(::GetDeviceCaps(screen, LOGPIXELSX), 96);
  ASSERT_EQ(::GetDeviceCaps(screen, LOGPIXELSY), 96);
  ::ReleaseDC(nullptr, screen);

  HWND dialog = ChooseOptions(run);
  ASSERT_NE(dialog, nullptr);
  RECT client{};
  ASSERT_TRUE(::GetClientRect(dialog, &client));
  EXPECT_EQ(client.right - client.left, 500);
  EXPECT_EQ(client.bottom - client.top, 500);
  const RECT frame = WindowRect(dialog);
  MONITORINFO monitor{sizeof(MONITORINFO), {}, {}, 0};
  ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor));
  const RECT& area = monitor.rcWork;  // what the taskbar leaves of the monitor
  EXPECT_LE(std::abs((frame.left - area.left) - (area.right - frame.right)), 1) << "centred across";
  EXPECT_LE(std::abs((frame.top - area.top) - (area.bottom - frame.bottom)), 1) << "centred down";
  const auto style = static_cast<DWORD>(::GetWindowLongW(dialog, GWL_STYLE));
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) << "a fixed dialog frame";
  EXPECT_EQ(::GetWindow(dialog, GW_OWNER), nullptr) << "no owner";

  const auto controls = ControlsOf(dialog);
  ASSERT_EQ(controls.size(), std::size(kDesign)) << "exactly the designed controls";
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const Design& d = kDesign[i];
    SCOPED_TRACE(i);
    HWND c = controls[i];
    EXPECT_EQ(Lower(ClassOf(c)), Lower(d.cls));
    EXPECT_EQ(TextOf(c), d.caption);
    RECT r = WindowRect(c);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, Pixels(d.left));
    EXPECT_EQ(r.top, Pixels(d.top));
    EXPECT_EQ(r.right - r.left, Pixels(d.width));
    EXPECT_EQ(r.bottom - r.top, Pixels(d.height));
    EXPECT_TRUE(::IsWindowVisible(c));
  }
  const auto styleOf = [&](Control c) { return static_cast<DWORD>(::GetWindowLongW(controls[c], GWL_STYLE)); };
  const DWORD check = styleOf(kTopOnly) & BS_TYPEMASK;
  EXPECT_TRUE(check == BS_CHECKBOX || check == BS_AUTOCHECKBOX || check == BS_3STATE || check == BS_AUTO3STATE);
  for (Control button : {kNew, kSave, kRemove, kDone}) {
    EXPECT_EQ(styleOf(button) & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON)) << "none is the default";
  }
  EXPECT_FALSE(styleOf(kList) & (LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) << "unsorted, one row at a time";
  EXPECT_FALSE(styleOf(kName) & ES_MULTILINE);
  EXPECT_FALSE(styleOf(kMeaning) & ES_MULTILINE);
  EXPECT_TRUE(ShowsRows(controls[kList], {L"afk", L"brb", L"lol"}, LB_ERR));
  EXPECT_TRUE(ShowsCheck(controls[kTopOnly], BST_UNCHECKED));

  const auto picture = Screenshot(frame, "options-dialog-e2e.png");
  ASSERT_TRUE(picture);
  EXPECT_GT(Colours(*picture).value_or(0), 8) << "the dialog is drawn";

  // The keyboard alone, through the program's own message loop: the focus starts on the check
  // box, Space ticks it, Shift+Tab walks the tab order backwards, the arrows load rows.
  const auto focus = [&] {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &info) ? info.hwndFocus : nullptr;
  };
  EXPECT_EQ(focus(), controls[kTopOnly]);
  ASSERT_TRUE(ClickAt(POINT{frame.left + 60, frame.top + 8}));  // the caption: X keys go to Wine
  ASSERT_TRUE(Xdotool("key space"));
  EXPECT_TRUE(ShowsCheck(controls[kTopOnly], BST_CHECKED));
  for (Control previous : {kRemove, kDone, kSave, kNew, kMeaning, kName, kList}) {
    ASSERT_TRUE(Xdotool("key shift+Tab"));
    EXPECT_TRUE(WaitUntil([&] { return focus() == controls[previous]; })) << previous;
  }
  ASSERT_TRUE(Xdotool("key Home Down"));
  EXPECT_TRUE(ShowsText(controls[kName], L"brb"));
  EXPECT_TRUE(ShowsText(controls[kMeaning], L"be right back"));

  ChooseExit(run);
  EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_TRUE(Dialogs(run).empty());
}

TEST_F(OptionsDialog, ChosenAgainItStaysOneWindowWithWhatWasTyped) {
  MurmuroRun run("1\r\n0\r\nafk,away from keyboard\r\n");
  ASSERT_TRUE(run.Start());
  HWND dialog = ChooseOptions(run);
  ASSERT_NE(dialog, nullptr);
  const auto controls = ControlsOf(dialog);
  ASSERT_FALSE(controls.empty());

  ASSERT_TRUE(Click(controls[kName]));
  ASSERT_TRUE(Type("omg"));
  ASSERT_TRUE(ShowsText(controls[kName], L"omg"));
  ASSERT_TRUE(Click(controls[kMeaning]));
  ASSERT_TRUE(Type("oh my god"));
  ASSERT_TRUE(ShowsText(controls[kMeaning], L"oh my god"));
  ASSERT_TRUE(Click(controls[kTopOnly]));
  ASSERT_TRUE(ShowsCheck(controls[kTopOnly], BST_CHECKED));

  EXPECT_EQ(ChooseOptions(run), dialog) << "the same window";
  EXPECT_EQ(Dialogs(run).size(), 1u);
  EXPECT_EQ(ControlsOf(dialog), controls);
  EXPECT_EQ(TextOf(controls[kName]), L"omg");
  EXPECT_EQ(TextOf(controls[kMeaning]), L"oh my god");
  EXPECT_EQ(Ask(controls[kTopOnly], BM_GETCHECK), BST_CHECKED);
  EXPECT_EQ(ListRows(controls[kList]), std::vector<std::wstring>{L"afk"});

  // What was typed is what the dialog holds: Save appends it.
  ASSERT_TRUE(Click(controls[kSave]));
  EXPECT_TRUE(ShowsRows(controls[kList], {L"afk", L"omg"}, LB_ERR));
  // Done closes it; the next "Options" starts afresh from the stored settings.
  ASSERT_TRUE(Click(controls[kDone]));
  ASSERT_TRUE(WaitUntil([&] { return Dialogs(run).empty(); }));
  EXPECT_EQ(run.Settings(), "1\r\n1\r\nafk,away from keyboard\r\nomg,oh my god\r\n");
  HWND again = ChooseOptions(run);
  ASSERT_NE(again, nullptr);
  const auto fresh = ControlsOf(again);
  ASSERT_FALSE(fresh.empty());
  EXPECT_EQ(TextOf(fresh[kName]), L"");
  EXPECT_EQ(TextOf(fresh[kMeaning]), L"");
  EXPECT_EQ(Ask(fresh[kTopOnly], BM_GETCHECK), BST_CHECKED);
  EXPECT_TRUE(ShowsRows(fresh[kList], {L"afk", L"omg"}, LB_ERR));

  ChooseExit(run);
  EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
}

TEST_F(OptionsDialog, SaveRemoveAndDoneChangeTheListAndTheFile) {
  const std::string start = "1\r\n0\r\nafk,away from keyboard\r\nbrb,be right back\r\nlol,laughing out loud\r\n";
  Conversation conversation(L"e2e-ui-options");
  ASSERT_TRUE(conversation.Open());
  MurmuroRun run(start);
  ASSERT_TRUE(run.Start());
  HWND dialog = ChooseOptions(run);
  ASSERT_NE(dialog, nullptr);
  const auto c = ControlsOf(dialog);
  ASSERT_FALSE(c.empty());
  ASSERT_TRUE(ShowsRows(c[kList], {L"afk", L"brb", L"lol"}, LB_ERR));

  // A row loads its record; Save puts the changed record back in its place.
  ASSERT_TRUE(ClickRow(c[kList], 1));
  ASSERT_TRUE(ShowsText(c[kName], L"brb"));
  ASSERT_TRUE(ShowsText(c[kMeaning], L"be right back"));
  ASSERT_TRUE(Click(c[kMeaning]));
  ASSERT_TRUE(Xdotool("key End"));
  ASSERT_TRUE(Type(" soon"));
  ASSERT_TRUE(ShowsText(c[kMeaning], L"be right back soon"));
  ASSERT_TRUE(Click(c[kSave]));
  EXPECT_TRUE(ShowsRows(c[kList], {L"afk", L"brb", L"lol"}, LB_ERR));
  EXPECT_TRUE(ShowsText(c[kName], L""));
  EXPECT_TRUE(ShowsText(c[kMeaning], L""));

  // New, a record typed in, Save: appended at the end; the boxes keep it.
  ASSERT_TRUE(Click(c[kNew]));
  ASSERT_TRUE(Click(c[kName]));
  ASSERT_TRUE(Type("omg"));
  ASSERT_TRUE(Click(c[kMeaning]));
  ASSERT_TRUE(Type("oh my god"));
  ASSERT_TRUE(ShowsText(c[kMeaning], L"oh my god"));
  ASSERT_TRUE(Click(c[kSave]));
  EXPECT_TRUE(ShowsRows(c[kList], {L"afk", L"brb", L"lol", L"omg"}, LB_ERR));
  EXPECT_EQ(TextOf(c[kName]), L"omg");
  EXPECT_EQ(TextOf(c[kMeaning]), L"oh my god");
  EXPECT_EQ(run.Settings(), start) << "Save changes the list, not the file";

  // The new acronym is read out at once, before Done.
  ASSERT_TRUE(conversation.Append("bob: omg"));
  const auto spoken = run.WaitForSpoken(1);
  ASSERT_EQ(spoken.size(), 1u);
  EXPECT_NE(spoken[0].Text.find("oh my god"), std::string::npos) << spoken[0].Text;

  // A row, Remove: that record goes; Remove again takes nothing more.
  ASSERT_TRUE(ClickRow(c[kList], 0));
  ASSERT_TRUE(ShowsText(c[kName], L"afk"));
  ASSERT_TRUE(Click(c[kRemove]));
  EXPECT_TRUE(ShowsRows(c[kList], {L"brb", L"lol", L"omg"}, LB_ERR));
  EXPECT_TRUE(ShowsText(c[kName], L""));
  EXPECT_TRUE(ShowsText(c[kMeaning], L""));
  ASSERT_TRUE(Click(c[kRemove]));
  EXPECT_TRUE(ShowsRows(c[kList], {L"brb", L"lol", L"omg"}, LB_ERR));

  // Done takes the check box over and writes everything.
  ASSERT_TRUE(Click(c[kTopOnly]));
  ASSERT_TRUE(ShowsCheck(c[kTopOnly], BST_CHECKED));
  ASSERT_TRUE(Click(c[kDone]));
  ASSERT_TRUE(WaitUntil([&] { return Dialogs(run).empty(); })) << "Done closes the dialog";
  const std::string done = "1\r\n1\r\nbrb,be right back soon\r\nlol,laughing out loud\r\nomg,oh my god\r\n";
  EXPECT_EQ(run.Settings(), done);

  ChooseExit(run);
  EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_EQ(run.Settings(), done);
}

TEST_F(OptionsDialog, ExitDropsAnUnconfirmedCheckBoxButKeepsTheAcronymChanges) {
  MurmuroRun run("1\r\n1\r\nafk,away from keyboard\r\nbrb,be right back\r\n");
  ASSERT_TRUE(run.Start());
  HWND dialog = ChooseOptions(run);
  ASSERT_NE(dialog, nullptr);
  const auto c = ControlsOf(dialog);
  ASSERT_FALSE(c.empty());
  ASSERT_TRUE(ShowsCheck(c[kTopOnly], BST_CHECKED)) << "TopOnly 1";
  ASSERT_TRUE(Click(c[kTopOnly]));
  ASSERT_TRUE(ShowsCheck(c[kTopOnly], BST_UNCHECKED));
  ASSERT_TRUE(ClickRow(c[kList], 0));
  ASSERT_TRUE(ShowsText(c[kName], L"afk"));
  ASSERT_TRUE(Click(c[kRemove]));
  ASSERT_TRUE(ShowsRows(c[kList], {L"brb"}, LB_ERR));

  ChooseExit(run);
  EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_FALSE(::IsWindow(dialog)) << "the dialog went with the program";
  EXPECT_EQ(run.Settings(), "1\r\n1\r\nbrb,be right back\r\n");
}

// kel.dat held open by another program (without share-delete, as an editor or a backup tool may
// hold it) cannot be replaced. Done says so and keeps the dialog; Exit offers Retry; an end asked
// for from outside tries once and asks nothing.
TEST_F(OptionsDialog, ASaveThatFailsIsReportedAndNothingIsLostSilently) {
  const std::string start = "1\r\n0\r\nafk,away from keyboard\r\n";
  const auto hold = [](const MurmuroRun& run) {
    return win32::UniqueFile(CreateFileW((run.Folder() / "kel.dat").c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  };
  const auto messageBox = [](const MurmuroRun& run) {
    HWND box = nullptr;
    WaitUntil([&] {
      const auto boxes = VisibleWindows(run.ProcessId(), L"#32770", L"Murmuro");
      box = boxes.empty() ? nullptr : boxes.front();
      return box != nullptr;
    }, 10000);
    return box;
  };
  const auto press = [](HWND box, int button) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
  };
  {
    MurmuroRun run(start);
    ASSERT_TRUE(run.Start());
    auto held = hold(run);
    ASSERT_TRUE(held);
    HWND dialog = ChooseOptions(run);
    ASSERT_NE(dialog, nullptr);
    const auto c = ControlsOf(dialog);
    ASSERT_FALSE(c.empty());
    ASSERT_TRUE(Click(c[kTopOnly]));
    ASSERT_TRUE(ShowsCheck(c[kTopOnly], BST_CHECKED));
    ASSERT_TRUE(Click(c[kDone]));
    HWND box = messageBox(run);
    ASSERT_NE(box, nullptr) << "Done says the save failed";
    const std::wstring text = MessageBoxText(box);
    EXPECT_NE(text.find(L"kel.dat"), std::wstring::npos);
    EXPECT_NE(text.find(L"could not be written"), std::wstring::npos);
    press(box, IDOK);
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays with its contents";
    EXPECT_EQ(Ask(c[kTopOnly], BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(run.Settings(), start);

    ChooseExit(run);
    box = messageBox(run);
    ASSERT_NE(box, nullptr) << "Exit offers Retry";
    ASSERT_NE(GetDlgItem(box, IDRETRY), nullptr);
    held.reset();
    press(box, IDRETRY);
    EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(run.Settings(), "1\r\n1\r\nafk,away from keyboard\r\n") << "Done's switch, saved by Retry";
  }
  // An installer's WM_CLOSE, also while Exit's Retry box waits for a user who may not be there.
  for (const bool exitFirst : {false, true}) {
    SCOPED_TRACE(exitFirst ? "after Exit" : "alone");
    MurmuroRun run(start);
    ASSERT_TRUE(run.Start());
    const auto held = hold(run);
    ASSERT_TRUE(held);
    PostRightButtonUp(run.Window());  // a change to save: reading off
    HWND menu = WaitForPopupMenu(run.ProcessId());
    ASSERT_NE(menu, nullptr);
    ChooseMenuItem(menu, MenuItem::UseMurmuro);
    ASSERT_TRUE(WaitUntil([&] { return PopupMenuWindow(run.ProcessId()) == nullptr; }));
    if (exitFirst) {
      ChooseExit(run);
      ASSERT_NE(messageBox(run), nullptr) << "Exit offers Retry";
    }
    run.Close();
    EXPECT_EQ(run.WaitForExit(exitFirst ? 2000 : 10000), std::optional<DWORD>(0)) << "WM_CLOSE ends without asking";
    EXPECT_EQ(run.Settings(), start);
  }
}

}  // namespace
}  // namespace murmuro::e2e
