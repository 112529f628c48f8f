#include "platform/win32/options_window.h"

#include <commctrl.h>

#include <algorithm>
#include <system_error>
#include <utility>

#include "platform/options_layout.h"
#include "platform/win32/dpi.h"
#include "platform/win32/utf8.h"
#include "platform/win32/win32_form_scale.h"

namespace murmuro::win32 {
namespace {

constexpr wchar_t kClassName[] = L"MurmuroOptions";
constexpr wchar_t kCaption[] = L"Murmuro Options";
// A fixed dialog frame: caption and close box, no sizing, no minimise or maximise.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

[[noreturn]] void ThrowLastError(const char* what) {
  throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

void RegisterClassOnce(HINSTANCE instance, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kClassName;
  if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    ThrowLastError("RegisterClassExW");
  }
}

struct ControlClass {
  const wchar_t* Name;
  DWORD Style;
  DWORD ExStyle;
};

ControlClass ClassOf(ControlKind kind) {
  constexpr DWORD child = WS_CHILD | WS_VISIBLE;
  switch (kind) {
    case ControlKind::CheckBox:
      // Three states so the greyed value can be shown; the window decides what a click does.
      return {L"BUTTON", child | WS_TABSTOP | WS_GROUP | BS_3STATE, 0};
    case ControlKind::ListBox:
      return {L"LISTBOX", child | WS_TABSTOP | WS_GROUP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
              WS_EX_CLIENTEDGE};
    case ControlKind::Label:
      return {L"STATIC", child | SS_LEFT, 0};
    case ControlKind::TextBox:
      return {L"EDIT", child | WS_TABSTOP | WS_GROUP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::Button:
      return {L"BUTTON", child | WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, 0};
  }
  return {L"STATIC", child, 0};
}

// While the window draws the model's content, the controls' notifications are echoes, not edits.
class RenderingScope {
 public:
  explicit RenderingScope(bool& flag) noexcept : flag_(flag), before_(flag) { flag_ = true; }
  ~RenderingScope() { flag_ = before_; }
  RenderingScope(const RenderingScope&) = delete;
  RenderingScope& operator=(const RenderingScope&) = delete;

 private:
  bool& flag_;
  bool before_;
};

UniqueFont MakeFont(int dpiY) noexcept {
  const LOGFONTW lf = OptionsFont(dpiY);
  return UniqueFont(::CreateFontIndirectW(&lf));
}

bool IsButton(int id) { return id == kIdDone || (id >= kIdAcroOps && id <= kIdAcroOps + 2); }

// Runs a model handler; nothing may unwind through the window procedure.
template <class Event, class... Args>
void Fire(const Event& event, Args&&... args) noexcept {
  try {
    if (event) event(std::forward<Args>(args)...);
  } catch (...) {
  }
}

}  // namespace

OptionsWindow::OptionsWindow(HINSTANCE instance, HICON icon, HICON smallIcon, int dpi) noexcept
    : instance_(instance),
      icon_(icon),
      smallIcon_(smallIcon),
      followDpi_(dpi <= 0),
      dpiX_(dpi > 0 ? dpi : ScreenDpi(LOGPIXELSX)),
      dpiY_(dpi > 0 ? dpi : ScreenDpi(LOGPIXELSY)),
      placed_(PlaceControls(dpiX_, dpiY_)) {}

OptionsWindow::~OptionsWindow() { Unload(); }

void OptionsWindow::Show(const platform::OptionsContent& content) {
  const bool created = !window_;
  if (created) Create();
  Render(content);
  HWND window = window_.get();
  if (created) PlaceCentred();
  ::ShowWindow(window, SW_SHOWNORMAL);
  ::SetForegroundWindow(window);
  ::BringWindowToTop(window);
}

void OptionsWindow::Render(const platform::OptionsContent& content) {
  if (!window_) return;
  const RenderingScope scope(rendering_);
  HWND list = Control(kIdAcronyms);
  if (content.Rows != rows_) {
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    rows_.clear();
    for (const Text& row : content.Rows) {
      ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(row)));
      rows_.push_back(row);
    }
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
  }
  const auto selected = static_cast<std::int32_t>(::SendMessageW(list, LB_GETCURSEL, 0, 0));
  const std::int32_t wanted =
      content.ListIndex >= 0 && static_cast<std::size_t>(content.ListIndex) < rows_.size() ? content.ListIndex : -1;
  if (selected != wanted) ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(wanted), 0);
  SetText(kIdName, content.Name);
  SetText(kIdMeaning, content.Meaning);
  const WPARAM check = content.Check >= 0 && content.Check <= 2 ? static_cast<WPARAM>(content.Check) : 0;
  HWND box = Control(kIdTopOnly);
  if (static_cast<WPARAM>(::SendMessageW(box, BM_GETCHECK, 0, 0)) != check) {
    ::SendMessageW(box, BM_SETCHECK, check, 0);
  }
}

void OptionsWindow::Unload() {
  window_.reset();
  controls_.fill(nullptr);
  rows_.clear();
  lastFocus_ = nullptr;
}

void OptionsWindow::ShowError(const std::string& message) {
  ::MessageBoxW(window_.get(), Utf8ToWide(message).c_str(), L"Murmuro", MB_OK | MB_ICONERROR);
}

bool OptionsWindow::PreTranslate(MSG& message) noexcept {
  if (!window_) return false;
  return ::IsDialogMessageW(window_.get(), &message) != FALSE;
}

HWND OptionsWindow::Control(int id) const noexcept {
  for (std::size_t i = 0; i < placed_.size(); ++i) {
    if (placed_[i].Id == id) return controls_[i];
  }
  return nullptr;
}

void OptionsWindow::Create() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);
  RegisterClassOnce(instance_, WindowProc);
  const int client = OptionsClientPixels(dpiX_);
  const int clientHeight = OptionsClientPixels(dpiY_);
  RECT frame{0, 0, client, clientHeight};
  ::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  HWND window = ::CreateWindowExW(kExStyle, kClassName, kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                  instance_, this);
  if (!window) ThrowLastError("CreateWindowExW");
  window_.reset(window);
  try {
    if (followDpi_) {
      // The monitor the window landed on may not have the screen's DPI.
      const int dpi = WindowDpi(window);
      if (dpi != dpiX_ || dpi != dpiY_) {
        dpiX_ = dpiY_ = dpi;
        placed_ = PlaceControls(dpiX_, dpiY_);
      }
    }
    if (!font_ || fontDpi_ != dpiY_) {
      UniqueFont font = MakeFont(dpiY_);
      if (!font) ThrowLastError("CreateFontIndirectW");
      font_ = std::move(font);
      fontDpi_ = dpiY_;
    }
    // The frame's real size may differ from the estimate (themes, the window manager, the DPI).
    FitClientArea();
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    if (icon_) ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    if (smallIcon_) ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    CreateControls();
  } catch (...) {
    Unload();
    throw;
  }
}

void OptionsWindow::CreateControls() {
  // A new child goes below its siblings, so creating the controls in window order gives the
  // sibling order that Tab follows and that names each box after its label.
  HWND window = window_.get();
  for (std::size_t i = 0; i < placed_.size(); ++i) {
    const PlacedControl& design = placed_[i];
    const ControlClass cls = ClassOf(design.Kind);
    const RECT& r = design.Rect;
    const Text caption(design.Caption);
    HWND control = ::CreateWindowExW(cls.ExStyle, cls.Name, Wide(caption), cls.Style, r.left, r.top,
                                     r.right - r.left, r.bottom - r.top, window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.Id)), instance_, nullptr);
    if (!control) ThrowLastError("CreateWindowExW");
    controls_[i] = control;
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    if (design.Kind == ControlKind::TextBox) {
      ::SendMessageW(control, EM_SETLIMITTEXT, 0, 0);  // 0: as long as the system allows
    }
    if (design.Id == kIdAcronyms) {
      const Text name(kOptionsListName);
      namer_->Name(control, Wide(name));  // unnamed, it still works
    }
  }
}

void OptionsWindow::FitClientArea() {
  HWND window = window_.get();
  RECT inside{};
  RECT frame{};
  ::GetClientRect(window, &inside);
  ::GetWindowRect(window, &frame);
  const int growX = OptionsClientPixels(dpiX_) - (inside.right - inside.left);
  const int growY = OptionsClientPixels(dpiY_) - (inside.bottom - inside.top);
  if (growX != 0 || growY != 0) {
    ::SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + growX, frame.bottom - frame.top + growY,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void OptionsWindow::OnDpiChanged(int dpiX, int dpiY, const RECT* suggested) {
  if (dpiX <= 0 || dpiY <= 0) return;
  HWND window = window_.get();
  dpiX_ = dpiX;
  dpiY_ = dpiY;
  placed_ = PlaceControls(dpiX_, dpiY_);
  if (suggested) {
    ::SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  FitClientArea();
  // Without a new font the old one stays: small text beats none.
  UniqueFont font = MakeFont(dpiY_);
  HFONT drawWith = font ? font.get() : font_.get();
  for (std::size_t i = 0; i < placed_.size(); ++i) {
    const RECT& r = placed_[i].Rect;
    ::SetWindowPos(controls_[i], nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(drawWith), TRUE);
  }
  if (font) {
    font_ = std::move(font);  // no control draws with the old one any more
    fontDpi_ = dpiY_;
  }
  ::InvalidateRect(window, nullptr, TRUE);
}

// Centred in the work area of the monitor under the mouse, not on the whole screen: there the
// taskbar could cover Done on a small screen, and the dialog could open on another monitor
// than the icon that was clicked.
void OptionsWindow::PlaceCentred() {
  HWND window = window_.get();
  POINT mouse{};
  ::GetCursorPos(&mouse);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  if (::GetMonitorInfoW(::MonitorFromPoint(mouse, MONITOR_DEFAULTTOPRIMARY), &monitor)) area = monitor.rcWork;
  RECT frame{};
  ::GetWindowRect(window, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = area.left + std::max(0L, (area.right - area.left - width) / 2);
  const int y = area.top + std::max(0L, (area.bottom - area.top - height) / 2);
  ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK OptionsWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<OptionsWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    // Destroyed from outside Unload: the holder must not destroy it again.
    if (self && self->window_.get() == window) {
      self->window_.release();
      self->controls_.fill(nullptr);
      self->rows_.clear();
      self->lastFocus_ = nullptr;
    }
  }
  if (self && message == WM_DESTROY) {
    if (HWND list = self->Control(kIdAcronyms)) self->namer_->Forget(list);
  }
  if (self) {
    try {
      return self->Handle(window, message, wParam, lParam);
    } catch (...) {
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT OptionsWindow::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Before CreateWindowExW returns, and while Unload destroys it, the window is not ours to use.
  if (window_.get() != window) return ::DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE);
      if (LOWORD(wParam) != WA_INACTIVE) return 0;
      break;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_.get());
    case WM_DPICHANGED:
      OnDpiChanged(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      if (events_.Closed) {
        Fire(events_.Closed);
      } else {
        Unload();
      }
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void OptionsWindow::OnCommand(int id, int code) {
  if (id == IDOK) {
    // Enter: the dialog has no default button, but a button with the focus takes it as a click.
    const HWND focus = ::GetFocus();
    const int focusId = focus ? ::GetDlgCtrlID(focus) : 0;
    if (IsButton(focusId) && focus == Control(focusId)) OnCommand(focusId, BN_CLICKED);
    return;
  }
  if (rendering_) return;
  switch (id) {
    case kIdTopOnly:
      if (code == BN_CLICKED) OnCheckClicked();
      break;
    case kIdAcronyms:
      if (code == LBN_SELCHANGE) {
        const auto row = static_cast<std::int32_t>(::SendMessageW(Control(kIdAcronyms), LB_GETCURSEL, 0, 0));
        Fire(events_.RowSelected, row < 0 ? -1 : row);
      }
      break;
    case kIdName:
      if (code == EN_CHANGE) Fire(events_.NameChanged, GetText(kIdName));
      break;
    case kIdMeaning:
      if (code == EN_CHANGE) Fire(events_.MeaningChanged, GetText(kIdMeaning));
      break;
    case kIdDone:
      if (code == BN_CLICKED) Fire(events_.DoneClicked);
      break;
    default:
      if (IsButton(id) && code == BN_CLICKED) Fire(events_.AcroOpsClicked, static_cast<std::int16_t>(id - kIdAcroOps));
      break;
  }
}

void OptionsWindow::OnCheckClicked() {
  // A click checks a clear box and clears a checked or greyed one; greyed is only ever shown.
  HWND box = Control(kIdTopOnly);
  const LRESULT now = ::SendMessageW(box, BM_GETCHECK, 0, 0);
  const std::int16_t next = now == BST_UNCHECKED ? 1 : 0;
  ::SendMessageW(box, BM_SETCHECK, static_cast<WPARAM>(next), 0);
  Fire(events_.CheckChanged, next);
}

void OptionsWindow::OnActivate(bool active) {
  // A plain window does not keep its focus across deactivation as a dialog box does.
  HWND window = window_.get();
  if (!active) {
    const HWND focus = ::GetFocus();
    if (focus && ::IsChild(window, focus)) lastFocus_ = focus;
    return;
  }
  HWND target = lastFocus_ && ::IsChild(window, lastFocus_) ? lastFocus_ : nullptr;
  if (!target) target = ::GetNextDlgTabItem(window, nullptr, FALSE);
  ::SetFocus(target ? target : window);
}

void OptionsWindow::SetText(int id, const Text& text) {
  if (GetText(id) != text) ::SetWindowTextW(Control(id), Wide(text));
}

Text OptionsWindow::GetText(int id) const {
  HWND control = Control(id);
  const int length = ::GetWindowTextLengthW(control);
  if (length <= 0) return {};
  Text text(static_cast<std::size_t>(length) + 1, u'\0');
  const int copied = ::GetWindowTextW(control, reinterpret_cast<wchar_t*>(text.data()), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

}  // namespace murmuro::win32
