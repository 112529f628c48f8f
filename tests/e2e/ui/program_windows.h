#pragma once
// The running program's user interface as another process sees it: its tray icon in the shell,
// its popup menu window and its options dialog with the controls in it.
#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "e2e/ui/desktop.h"

namespace murmuro::e2e {

inline constexpr UINT kTrayCallback = 512;
inline constexpr UINT kTrayIconId = 1;
// Wine's virtual desktop (1280 x 1024) shows the notification area at the right end of the
// taskbar along the bottom edge; with one icon it stands here.
inline constexpr POINT kTrayIconPoint{1269, 1014};
inline constexpr RECT kTrayArea{1080, 994, 1280, 1024};

// NIM_MODIFY that changes nothing: the shell says yes only for an icon it holds.
inline bool TrayIconExists(HWND window) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = window;
  data.uID = kTrayIconId;
  return ::Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// Watches the program end: true when its icon was gone before its window was. The shell also
// drops the icon of a window that has been destroyed, a moment later; seeing the window gone
// while the shell still holds the icon means the program left that to the shell.
inline bool IconLeavesBeforeItsWindow(HWND window, DWORD waitMs = 10000) {
  // No pause between looks: the shell's own clean-up follows within milliseconds.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  bool outlived = false;
  while (std::chrono::steady_clock::now() < until) {
    const bool windowGone = !::IsWindow(window);
    const bool icon = TrayIconExists(window);
    if (windowGone && icon) outlived = true;
    if (windowGone && !icon) break;
  }
  return !outlived && !TrayIconExists(window);
}

// Takes the program's icon out of the notification area behind its back (as a shell that
// restarts loses it).
inline bool DeleteTrayIcon(HWND window) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = window;
  data.uID = kTrayIconId;
  return ::Shell_NotifyIconA(NIM_DELETE, &data) != FALSE;
}

// The process's visible top-level windows of the class (null: any) and caption (null: any).
inline std::vector<HWND> VisibleWindows(DWORD processId, const wchar_t* cls, const wchar_t* caption) {
  struct Search {
    DWORD pid;
    const wchar_t* cls;
    const wchar_t* caption;
    std::vector<HWND> found;
  } search{processId, cls, caption, {}};
  ::EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        if (pid != s->pid || !::IsWindowVisible(w)) return TRUE;
        wchar_t text[128] = {};
        if (s->cls && (!::GetClassNameW(w, text, 128) || std::wstring(text) != s->cls)) return TRUE;
        if (s->caption && (::GetWindowTextW(w, text, 128) < 0 || std::wstring(text) != s->caption)) return TRUE;
        s->found.push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The open popup menu of the process, or null.
inline HWND PopupMenuWindow(DWORD processId) {
  const auto menus = VisibleWindows(processId, L"#32768", nullptr);
  return menus.empty() ? nullptr : menus.front();
}

inline HWND WaitForPopupMenu(DWORD processId, DWORD waitMs = 5000) {
  HWND menu = nullptr;
  WaitUntil([&] { return (menu = PopupMenuWindow(processId)) != nullptr; }, waitMs);
  return menu;
}

inline RECT WindowRect(HWND window) {
  RECT r{};
  ::GetWindowRect(window, &r);
  return r;
}

// Where the mouse rests when a test opens the menu without moving it: the menu opens with its
// corner there, so no item starts highlighted.
inline constexpr POINT kRestingMouse{640, 400};

// The shell's notification that the right button was released over the icon.
inline void PostRightButtonUp(HWND mainWindow) {
  ::SetCursorPos(kRestingMouse.x, kRestingMouse.y);
  ::PostMessageW(mainWindow, kTrayCallback, 0, WM_RBUTTONUP);
}

// The items, by how many Down presses reach them in a freshly opened menu (the separator is
// passed over).
enum class MenuItem { UseMurmuro = 1, Options = 2, Exit = 3 };

// Chooses the item with the keyboard as a person would: Down until it is highlighted, Enter.
inline void ChooseMenuItem(HWND menu, MenuItem item) {
  for (int i = 0; i < static_cast<int>(item); ++i) {
    ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 1);
    ::PostMessageW(menu, WM_KEYUP, VK_DOWN, static_cast<LPARAM>(0xC0000001u));
  }
  ::PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 1);
  ::PostMessageW(menu, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC0000001u));
}

inline void CloseMenu(HWND menu) {
  ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 1);
  ::PostMessageW(menu, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0000001u));
}

// Children of `parent` in their sibling order: Tab visits those that take focus in this order.
inline std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> out;
  for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) out.push_back(c);
  return out;
}

// Asks the control itself (an edit keeps its text to itself).
inline std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return L"<no answer>";
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  ::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        5000, &copied);
  text.resize(copied);
  return text;
}

inline std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

inline LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)) return -2;
  return static_cast<LRESULT>(result);
}

// The rows a list box shows, top to bottom.
inline std::vector<std::wstring> ListRows(HWND list) {
  std::vector<std::wstring> rows;
  const LRESULT count = Ask(list, LB_GETCOUNT);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = Ask(list, LB_GETTEXTLEN, static_cast<WPARAM>(i));
    std::wstring row(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    const LRESULT n = Ask(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(row.data()));
    row.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    rows.push_back(row);
  }
  return rows;
}

// The screen point in the middle of a list box's row (counted from 0, no scrolling).
inline POINT ListRowPoint(HWND list, int row) {
  const auto height = static_cast<LONG>(Ask(list, LB_GETITEMHEIGHT));
  POINT at{8, row * height + height / 2};
  ::ClientToScreen(list, &at);
  return at;
}

}  // namespace murmuro::e2e
