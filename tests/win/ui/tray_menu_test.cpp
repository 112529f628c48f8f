// The tray record, the shell's answers, the popup menu's modal loop and the form's scale.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/win32/dpi.h"
#include "platform/win32/win32_form_scale.h"
#include "platform/win32/win32_popup_menu.h"
#include "platform/win32/win32_tray_shell.h"
#include "platform/win32/win32_window_system.h"
#include "win/ui/ui_test_support.h"

namespace murmuro::wintest {
namespace {

using namespace win32;

// A hidden top-level window like the program's main window; runs a script of keys once the
// popup menu it owns is open.
class Owner {
 public:
  Owner() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MurmuroTestOwner";
    ::RegisterClassExW(&wc);
    window_.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, L"MurmuroTestOwner", L"Murmuro", WS_POPUP, 0, 0, 0, 0,
                                    nullptr, nullptr, wc.hInstance, nullptr));
    ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  HWND get() const { return window_.get(); }

  // Once the menu window exists: notes where it stands and its items' states, then plays `keys`.
  void PlayInMenu(std::vector<WPARAM> keys) {
    keys_ = std::move(keys);
    ticks_ = 0;
    ::SetTimer(window_.get(), 1, 20, [](HWND w, UINT, UINT_PTR id, DWORD) {
      auto* self = reinterpret_cast<Owner*>(::GetWindowLongPtrW(w, GWLP_USERDATA));
      ++self->ticks_;
      HWND menu = ::FindWindowW(L"#32768", nullptr);
      if (!menu || !::IsWindowVisible(menu)) {
        if (self->ticks_ > 250) {  // give up; the test fails on the result
          ::KillTimer(w, id);
          ::EndMenu();
        }
        return;
      }
      ::KillTimer(w, id);
      ::GetWindowRect(menu, &self->menuRect);
      for (WPARAM key : self->keys_) {
        ::PostMessageW(menu, WM_KEYDOWN, key, 1);
        ::PostMessageW(menu, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
      }
    });
  }

  RECT menuRect{};

 private:
  UniqueHwnd window_;
  std::vector<WPARAM> keys_;
  int ticks_ = 0;
};

platform::NotifyIconDataA TrayRecord(HWND window, HICON icon) {
  platform::NotifyIconDataA r;
  r.hWnd = FromHwnd(window);
  r.uID = 1;
  r.uFlags = platform::kNifMessage | platform::kNifIcon | platform::kNifTip;
  r.uCallbackMessage = 512;
  r.hIcon = reinterpret_cast<platform::IconHandle>(icon);
  r.szTip.fill(' ');
  std::memcpy(r.szTip.data(), "Murmuro", 8);  // with its NUL
  return r;
}

TEST(Win32TrayShell, RecordIsTheFirstAnsiVersionWithTheTipByteForByte) {
  Owner owner;
  const UniqueIcon icon = ProgramIcon(32);
  const platform::NotifyIconDataA record = TrayRecord(owner.get(), icon.get());
  const NOTIFYICONDATAA data = ToNotifyIconData(record);
  EXPECT_EQ(data.cbSize, sizeof(void*) == 8 ? 104u : 88u);
  EXPECT_EQ(data.hWnd, owner.get());
  EXPECT_EQ(data.uID, 1u);
  EXPECT_EQ(data.uFlags, 7u);
  EXPECT_EQ(data.uCallbackMessage, 512u);
  EXPECT_EQ(data.hIcon, icon.get());
  EXPECT_EQ(std::memcmp(data.szTip, record.szTip.data(), 64), 0);
  EXPECT_EQ(std::memcmp(data.szTip, "Murmuro\0        ", 16), 0);
}

TEST(Win32TrayShell, ShellTakesTheIconAndFindsItAgainByWindowAndId) {
  Owner owner;
  const UniqueIcon icon = ProgramIcon(32);
  Win32TrayShell shell;
  const platform::NotifyIconDataA record = TrayRecord(owner.get(), icon.get());
  EXPECT_TRUE(shell.Shell_NotifyIconA(platform::kNimAdd, record));
  // Why a second try after an add that timed out refreshes first.
  EXPECT_FALSE(shell.Shell_NotifyIconA(platform::kNimAdd, record)) << "an add over the icon fails";
  EXPECT_TRUE(shell.Shell_NotifyIconA(platform::kNimModify, record)) << "the icon is there";
  EXPECT_TRUE(shell.Shell_NotifyIconA(platform::kNimDelete, record));
  EXPECT_FALSE(shell.Shell_NotifyIconA(platform::kNimModify, record)) << "the icon is gone";
}

TEST(Win32PopupMenu, MenuHasTheItemsChecksAndSeparator) {
  const std::vector<platform::MenuItem> items{{u"Use Murmuro", true}, {u"Options", false}, {u"-", true}, {u"Exit", false}};
  const UniqueMenu menu = BuildPopupMenu(items);
  ASSERT_EQ(::GetMenuItemCount(menu.get()), 4);
  struct Expected {
    const wchar_t* text;
    bool separator;
    bool checked;
  };
  const Expected expected[] = {{L"Use Murmuro", false, true}, {L"Options", false, false}, {L"", true, false},
                               {L"Exit", false, false}};
  for (UINT i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    wchar_t text[64] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 64;
    ASSERT_TRUE(::GetMenuItemInfoW(menu.get(), i, TRUE, &info));
    EXPECT_EQ((info.fType & MFT_SEPARATOR) != 0, expected[i].separator);
    EXPECT_EQ((info.fState & MFS_CHECKED) != 0, expected[i].checked);
    EXPECT_EQ(info.wID, i + 1);
    EXPECT_EQ(std::wstring(text), expected[i].text);
  }
}

TEST(Win32PopupMenu, ReturnsTheChosenIndexOrNothingAtTheMousePosition) {
  const std::vector<platform::MenuItem> items{{u"Use Murmuro", false}, {u"Options", false}, {u"-", false}, {u"Exit", false}};
  struct Case {
    std::vector<WPARAM> keys;
    std::optional<std::int16_t> chosen;
  };
  const Case cases[] = {
      {{VK_DOWN, VK_RETURN}, 0},
      {{VK_DOWN, VK_DOWN, VK_RETURN}, 1},
      {{VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, 3},  // the separator is passed over
      {{VK_ESCAPE}, std::nullopt},
  };
  Owner owner;
  Win32PopupMenu popup(owner.get());
  ASSERT_TRUE(::SetCursorPos(300, 200));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys.size());
    owner.PlayInMenu(c.keys);
    EXPECT_EQ(popup.PopupAtMouse(items), c.chosen);
    EXPECT_EQ(owner.menuRect.left, 300);
    EXPECT_EQ(owner.menuRect.top, 200);
    MSG posted;
    EXPECT_TRUE(::PeekMessageW(&posted, owner.get(), WM_NULL, WM_NULL, PM_REMOVE)) << "WM_NULL follows the menu";
    Pump();
  }
}

TEST(Win32FormScale, PixelsWithTheScreensTwipsPerPixel) {
  const Win32FormScale scale;
  EXPECT_EQ(scale.ScaleMode(), platform::kScaleModePixels);
  EXPECT_FLOAT_EQ(scale.TwipsPerPixelX() * static_cast<float>(ScreenDpi(LOGPIXELSX)), 1440.0f);
  EXPECT_GT(scale.TwipsPerPixelX(), 0.0f);
}

int IconSide(HICON icon) {
  ICONINFO info{};
  if (!icon || !::GetIconInfo(icon, &info)) return 0;
  BITMAP bitmap{};
  ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  return bitmap.bmWidth;
}

TEST(TrayIcon, TakesTheSmallIconSizeOfTheDpi) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  // The program's 32 x 32 shared icon, which a shared load of any size near it would return.
  ASSERT_NE(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_MURMURO), IMAGE_ICON, 32, 32, LR_SHARED), nullptr);
  for (const auto& [dpi, side] : {std::pair{96, 16}, std::pair{120, 20}, std::pair{144, 24}, std::pair{192, 32}}) {
    SCOPED_TRACE(dpi);
    EXPECT_EQ(IconSide(LoadSmallIcon(instance, IDI_MURMURO, dpi).get()), side);
  }
  EXPECT_EQ(PrimaryMonitorDpi(), 96) << "Wine's screen";
  EXPECT_EQ(IconSide(LoadTrayIcon(instance, IDI_MURMURO).get()), 16);
}

}  // namespace
}  // namespace murmuro::wintest
