#pragma once
// A simulated desktop: top-level windows with titles, descendants with classes at any depth,
// hidden and hung windows, a foreground window, views that answer "WM_HTML_GETOBJECT", and a
// log of every call. Windows are enumerated in creation order (descendants depth first).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window_system.h"

namespace murmuro::fakes {

struct WindowCall {
  std::string name;  // the operation, e.g. "GetClassNameA"
  Hwnd window = 0;
  int maxCount = 0;  // the buffer limit passed, for the calls that take one
};

struct SentMessage {
  Hwnd window = 0;
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  std::uint32_t flags = 0;
  std::uint32_t timeoutMs = 0;
  std::uintptr_t resultOnEntry = 0;  // what the caller had stored in the result beforehand
};

class FakeDesktop final : public platform::WindowSystem {
 public:
  // A new window under `parent` (0: top level), after its existing siblings.
  Hwnd Create(Hwnd parent, std::string title, std::string className = "");
  // Destroys the window and its descendants; returns them all, the window first.
  std::vector<Hwnd> Destroy(Hwnd window);
  void SetTitle(Hwnd window, std::string title);
  // Moves the window, with its descendants, under another parent.
  void Reparent(Hwnd window, Hwnd parent);
  void SetHidden(Hwnd window, bool hidden);
  void SetHung(Hwnd window, bool hung);
  // A window of a process run with more rights: messages to it fail with "access denied".
  void SetDenied(Hwnd window, bool denied);
  // The window's answer to "WM_HTML_GETOBJECT"; 0 answers nothing.
  void SetAnswer(Hwnd window, std::uintptr_t answer);
  // The thread and process that own the window; windows made under it later inherit them.
  // Top-level windows start owned by thread 1 of process 100.
  void SetOwner(Hwnd window, std::uint32_t thread, std::uint32_t process);
  // The next window made gets this handle, as Windows may hand out a destroyed window's again.
  void ReuseHandle(Hwnd handle) { reuse_ = handle; }
  void SetForeground(Hwnd window) { foreground_ = window; }
  bool Exists(Hwnd window) const { return windows_.count(window) != 0; }
  bool Hidden(Hwnd window) const;

  const std::vector<WindowCall>& Calls() const { return calls_; }
  // Calls of the named operation (on `window`, when given).
  std::size_t CountCalls(std::string_view name, std::optional<Hwnd> window = std::nullopt) const;
  const std::vector<SentMessage>& Sent() const { return sent_; }
  void ClearLog();
  // The number RegisterWindowMessageA gives `name`.
  std::uint32_t MessageNumber(std::string_view name);

  // Runs when a call has been logged and before it is answered: may change the desktop or throw.
  std::function<void(const WindowCall&)> beforeCall;

  void EnumWindows(const platform::EnumProc& proc, std::int32_t context) override;
  void EnumChildWindows(Hwnd parent, const platform::EnumProc& proc, std::int32_t context) override;
  int GetWindowTextLengthA(Hwnd window) override;
  int GetWindowTextA(Hwnd window, char* buffer, int maxCount) override;
  int GetClassNameA(Hwnd window, char* buffer, int maxCount) override;
  std::uint32_t RegisterWindowMessageA(const char* name) override;
  std::intptr_t SendMessageTimeoutA(Hwnd window, std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam, std::uint32_t flags, std::uint32_t timeoutMs,
                                    std::uintptr_t* result, std::uint32_t* error = nullptr) override;
  Hwnd GetForegroundWindow() override;
  bool IsWindow(Hwnd window) override;
  std::uint32_t GetWindowThreadProcessId(Hwnd window, std::uint32_t* processId) override;
  Hwnd GetAncestor(Hwnd window, std::uint32_t flags) override;

 private:
  struct Window {
    Hwnd parent = 0;
    std::string title;
    std::string className;
    bool hidden = false;
    bool hung = false;
    bool denied = false;
    std::uintptr_t answer = 0;
    std::uint32_t thread = 1;
    std::uint32_t process = 100;
  };
  void Log(std::string name, Hwnd window, int maxCount = 0);
  Window& At(Hwnd window);
  void Descendants(Hwnd parent, std::vector<Hwnd>& out) const;
  static int CopyOut(const std::string& text, char* buffer, int maxCount);

  std::map<Hwnd, Window> windows_;  // handles grow, so this is creation order
  std::map<std::string, std::uint32_t, std::less<>> messages_;
  std::vector<WindowCall> calls_;
  std::vector<SentMessage> sent_;
  Hwnd next_ = 0x10010;
  Hwnd reuse_ = 0;
  Hwnd foreground_ = 0;
};

}  // namespace murmuro::fakes
