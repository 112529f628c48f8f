// The options window as a person sees it (and a screen reader, and a high-contrast scheme): frame,
// size, place, font, colours, controls and their order, at each DPI.
#include <gmock/gmock.h>

#include <tuple>
#include <utility>

#include "win/ui/options_window_fixture.h"

namespace murmuro::wintest {
namespace {

using namespace win32;

struct Expected {
  int id;
  const char* cls;
  const char16_t* caption;
  int left, top, width, height;  // pixels at 96 DPI
  bool tabStop;
};

// In the order of the controls among their siblings: those that take focus in tab order, each
// label directly before its box (screen readers name the box after it).
constexpr Expected kAt96Dpi[] = {
    {kIdTopOnly, "Button", u"Speak Active IM Window Messages Only", 237, 17, 254, 22, true},
    {kIdAcronyms, "ListBox", u"", 10, 14, 199, 470, true},
    {kIdTitleName, "Static", u"Acronym Name:", 238, 60, 164, 15, false},
    {kIdName, "Edit", u"", 238, 77, 229, 21, true},
    {kIdTitleMeaning, "Static", u"Acronym Meaning:", 238, 106, 164, 15, false},
    {kIdMeaning, "Edit", u"", 238, 123, 229, 21, true},
    {kIdAcroOps + 0, "Button", u"New", 231, 150, 80, 26, true},
    {kIdAcroOps + 1, "Button", u"Save", 312, 150, 80, 26, true},
    {kIdDone, "Button", u"Done", 365, 464, 115, 27, true},
    {kIdAcroOps + 2, "Button", u"Remove", 393, 150, 80, 26, true},
};

LOGFONTW FontOf(HWND window) {
  LOGFONTW lf{};
  const auto font = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
  EXPECT_NE(font, nullptr);
  if (font) ::GetObjectW(font, sizeof lf, &lf);
  return lf;
}

void ExpectVerdana(HWND window, LONG height) {
  const LOGFONTW lf = FontOf(window);
  EXPECT_EQ(std::wstring(lf.lfFaceName), L"Verdana");
  EXPECT_EQ(lf.lfHeight, height);
  EXPECT_EQ(lf.lfWeight, FW_NORMAL);
  EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
  EXPECT_FALSE(lf.lfItalic || lf.lfUnderline || lf.lfStrikeOut);
}

TEST_F(OptionsWindowTest, ControlsStandAtTheirPlacesInWindowOrderWithCaptionsAndFont) {
  Open();
  HWND child = ::GetWindow(view.Window(), GW_CHILD);
  for (const Expected& e : kAt96Dpi) {
    SCOPED_TRACE(e.id);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(::GetDlgCtrlID(child), e.id);
    EXPECT_EQ(child, Item(e.id));
    EXPECT_STRCASEEQ(ClassName(child).c_str(), e.cls);
    EXPECT_EQ(WindowText(child), e.caption);
    const RECT r = RectInParent(child);
    EXPECT_EQ(r.left, e.left);
    EXPECT_EQ(r.top, e.top);
    EXPECT_EQ(r.right - r.left, e.width);
    EXPECT_EQ(r.bottom - r.top, e.height);
    const auto style = static_cast<DWORD>(::GetWindowLongW(child, GWL_STYLE));
    EXPECT_EQ((style & WS_TABSTOP) != 0, e.tabStop);
    EXPECT_TRUE(style & WS_VISIBLE);
    if (std::string(e.cls) == "Button" && e.id != kIdTopOnly) {
      EXPECT_EQ(style & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON)) << "no default button";
    }
    ExpectVerdana(child, -11);
    child = ::GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "no other controls";
  ExpectVerdana(view.Window(), -11);
}

TEST_F(OptionsWindowTest, ControlsHaveTheirKindsAndNoLimits) {
  Open();
  const auto styleOf = [this](int id) { return static_cast<DWORD>(::GetWindowLongW(Item(id), GWL_STYLE)); };
  EXPECT_EQ(styleOf(kIdTopOnly) & BS_TYPEMASK, static_cast<DWORD>(BS_3STATE));
  const DWORD list = styleOf(kIdAcronyms);
  EXPECT_TRUE(list & LBS_NOTIFY);
  EXPECT_FALSE(list & (LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL));
  for (int box : {kIdName, kIdMeaning}) {
    SCOPED_TRACE(box);
    EXPECT_FALSE(styleOf(box) & ES_MULTILINE);
    EXPECT_GT(::SendMessageW(Item(box), EM_GETLIMITTEXT, 0, 0), 0x7FFF0000);
  }
}

TEST_F(OptionsWindowTest, WindowIsAFixedCentredDialogWithAFiveHundredPixelClientArea) {
  Open();
  HWND window = view.Window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(WindowText(window), u"Murmuro Options");
  const auto style = static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(::GetWindowLongW(window, GWL_EXSTYLE));
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), static_cast<DWORD>(WS_CAPTION | WS_SYSMENU));
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD));
  EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
  EXPECT_TRUE(::IsWindowVisible(window));
  EXPECT_EQ(::GetWindow(window, GW_OWNER), nullptr) << "modeless, without an owner";
  EXPECT_EQ(::GetForegroundWindow(), window);

  RECT client{};
  ::GetClientRect(window, &client);
  EXPECT_EQ(client.right, 500);
  EXPECT_EQ(client.bottom, 500);

  RECT frame{};
  ::GetWindowRect(window, &frame);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor));
  const RECT& area = monitor.rcWork;
  EXPECT_LE(std::abs((frame.left - area.left) - (area.right - frame.right)), 1);
  EXPECT_LE(std::abs((frame.top - area.top) - (area.bottom - frame.bottom)), 1);

  EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, ICON_BIG, 0)), icon.get());
  EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, ICON_SMALL, 0)), smallIcon.get());
}

TEST_F(OptionsWindowTest, LoadShowsEveryRecordByNameAndTheSwitch) {
  state.Acronyms.Add(u"");
  state.Acronyms.Add(u"nocomma");
  struct Case {
    std::int16_t topOnly;
    LRESULT check;
  };
  for (const Case c : {Case{0, BST_UNCHECKED}, Case{1, BST_CHECKED}, Case{2, BST_INDETERMINATE},
                       Case{7, BST_UNCHECKED}, Case{-1, BST_UNCHECKED}}) {
    SCOPED_TRACE(c.topOnly);
    Open(c.topOnly);
    EXPECT_EQ(Check(), c.check);
    ASSERT_EQ(RowCount(), 5);
    EXPECT_EQ(Row(0), u"afk");
    EXPECT_EQ(Row(1), u"brb");
    EXPECT_EQ(Row(2), u"lol");
    EXPECT_EQ(Row(3), u"");
    EXPECT_EQ(Row(4), u"nocomma");
    EXPECT_EQ(Selected(), LB_ERR);
    EXPECT_EQ(ItemText(kIdName), u"");
    EXPECT_EQ(ItemText(kIdMeaning), u"");
    dialog.Unload();
    EXPECT_EQ(view.Window(), nullptr);
  }
}

TEST_F(OptionsWindowTest, TheListIsNamedForScreenReadersAndAFailedNamingChangesNothing) {
  // S_OK as on Windows, E_NOTIMPL as under Wine, and COM not initialised.
  for (HRESULT answer : {S_OK, E_NOTIMPL, CO_E_NOTINITIALIZED}) {
    SCOPED_TRACE(answer);
    names.named.clear();
    names.forgotten.clear();
    names.answer = answer;
    view.SetNamer(names);
    Open();
    HWND list = Item(kIdAcronyms);
    EXPECT_EQ(names.named, (std::vector<std::pair<HWND, std::wstring>>{{list, L"Acronyms"}}))
        << "the boxes take their labels' names";
    ClickRow(2);
    EXPECT_EQ(ItemText(kIdMeaning), u"laughing out loud") << "the dialog works as ever";
    dialog.Unload();
    EXPECT_EQ(names.forgotten, std::vector<HWND>{list});
  }
}

TEST_F(OptionsWindowTest, OnlySystemColoursAreUsedSoHighContrastApplies) {
  Open();
  HWND window = view.Window();
  EXPECT_EQ(::GetClassLongPtrW(window, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);
  // A high-contrast scheme takes effect at once, on the face and inside the controls.
  const int elements[] = {COLOR_BTNFACE, COLOR_WINDOW};
  const COLORREF before[] = {::GetSysColor(COLOR_BTNFACE), ::GetSysColor(COLOR_WINDOW)};
  const COLORREF contrast[] = {RGB(0, 0, 0), RGB(0, 0, 128)};
  ASSERT_TRUE(::SetSysColors(2, elements, contrast));
  ::RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC dc = ::GetDC(window);
  // The face, the end of a label, inside the name box, below the list's rows.
  for (const auto& [at, colour] : {std::pair{POINT{300, 300}, contrast[0]}, std::pair{POINT{398, 67}, contrast[0]},
                                   std::pair{POINT{460, 88}, contrast[1]}, std::pair{POINT{100, 400}, contrast[1]}}) {
    EXPECT_EQ(::GetPixel(dc, at.x, at.y), colour) << at.x << "," << at.y;
  }
  ::ReleaseDC(window, dc);
  ::SetSysColors(2, elements, before);
}

// Twips * DPI / 1440, to the nearest pixel.
struct DpiCase {
  int dpi;
  LONG client;
  LONG fontHeight;
  RECT list, done;
};
constexpr DpiCase kDpiCases[] = {
    {96, 500, -11, {10, 14, 209, 484}, {365, 464, 480, 491}},
    {120, 625, -14, {13, 18, 262, 606}, {456, 580, 600, 614}},
    {144, 750, -17, {15, 21, 314, 726}, {548, 696, 721, 737}},
};

void ExpectLaidOutFor(const win32::OptionsWindow& view, const DpiCase& c) {
  RECT client{};
  ::GetClientRect(view.Window(), &client);
  EXPECT_EQ(std::pair(client.right, client.bottom), std::pair(c.client, c.client));
  for (const auto& [id, want] : {std::pair{kIdAcronyms, c.list}, std::pair{kIdDone, c.done}}) {
    const RECT r = RectInParent(view.Control(id));
    EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom), std::tie(want.left, want.top, want.right, want.bottom));
    ExpectVerdana(view.Control(id), c.fontHeight);
  }
}

// Made for a DPI, or moved to it: Windows sends WM_DPICHANGED when the window reaches a monitor
// with another DPI or that monitor's scale changes (Wine never does), and the window then takes
// the suggested place and lays itself out again.
TEST_F(OptionsWindowTest, LayoutAndFontFollowTheDpi) {
  Open();
  ClickRow(1);
  HWND window = view.Window();
  for (const DpiCase& c : kDpiCases) {
    SCOPED_TRACE(c.dpi);
    OptionsWindow made(::GetModuleHandleW(nullptr), icon.get(), smallIcon.get(), c.dpi);
    fOps model{state, made, [] {}};
    made.Attach(model);
    model.Show();
    ExpectLaidOutFor(made, c);

    RECT suggested{40 + c.dpi, 30, 40 + c.dpi + c.client, 30 + c.client};
    ::AdjustWindowRectEx(&suggested, static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongW(window, GWL_EXSTYLE)));
    ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(c.dpi, c.dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT frame{};
    ::GetWindowRect(window, &frame);
    EXPECT_EQ(std::pair(frame.left, frame.top), std::pair(suggested.left, suggested.top));
    ExpectLaidOutFor(view, c);
  }
  EXPECT_EQ(ItemText(kIdName), u"brb") << "what it shows stays";
  EXPECT_EQ(Selected(), 1);
}

}  // namespace
}  // namespace murmuro::wintest
