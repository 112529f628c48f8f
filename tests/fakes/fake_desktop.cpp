#include "fakes/fake_desktop.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace murmuro::fakes {

Hwnd FakeDesktop::Create(Hwnd parent, std::string title, std::string className) {
  Window made{parent, std::move(title), std::move(className)};
  if (parent != 0) {
    made.thread = At(parent).thread;
    made.process = At(parent).process;
  }
  Hwnd window = std::exchange(reuse_, 0);
  if (window == 0 || Exists(window)) {
    window = next_;
    next_ += 4;
  }
  windows_[window] = std::move(made);
  return window;
}

std::vector<Hwnd> FakeDesktop::Destroy(Hwnd window) {
  std::vector<Hwnd> gone;
  if (!Exists(window)) return gone;
  gone.push_back(window);
  Descendants(window, gone);
  for (Hwnd w : gone) windows_.erase(w);
  if (std::find(gone.begin(), gone.end(), foreground_) != gone.end()) foreground_ = 0;
  return gone;
}

void FakeDesktop::SetTitle(Hwnd window, std::string title) { At(window).title = std::move(title); }
void FakeDesktop::Reparent(Hwnd window, Hwnd parent) { At(window).parent = parent; }
void FakeDesktop::SetHidden(Hwnd window, bool hidden) { At(window).hidden = hidden; }
void FakeDesktop::SetHung(Hwnd window, bool hung) { At(window).hung = hung; }
void FakeDesktop::SetDenied(Hwnd window, bool denied) { At(window).denied = denied; }
void FakeDesktop::SetAnswer(Hwnd window, std::uintptr_t answer) { At(window).answer = answer; }
void FakeDesktop::SetOwner(Hwnd window, std::uint32_t thread, std::uint32_t process) {
  At(window).thread = thread;
  At(window).process = process;
}
bool FakeDesktop::Hidden(Hwnd window) const { return windows_.at(window).hidden; }

std::size_t FakeDesktop::CountCalls(std::string_view name, std::optional<Hwnd> window) const {
  return static_cast<std::size_t>(std::count_if(calls_.begin(), calls_.end(), [&](const WindowCall& c) {
    return c.name == name && (!window || c.window == *window);
  }));
}

void FakeDesktop::ClearLog() {
  calls_.clear();
  sent_.clear();
}

std::uint32_t FakeDesktop::MessageNumber(std::string_view name) {
  auto found = messages_.find(name);
  if (found == messages_.end()) {
    const auto number = static_cast<std::uint32_t>(0xC100 + messages_.size());
    found = messages_.emplace(std::string(name), number).first;
  }
  return found->second;
}

void FakeDesktop::EnumWindows(const platform::EnumProc& proc, std::int32_t context) {
  Log("EnumWindows", 0);
  std::vector<Hwnd> snapshot;
  for (const auto& [window, data] : windows_) {
    if (data.parent == 0) snapshot.push_back(window);
  }
  for (Hwnd window : snapshot) {
    if (proc(window, context) == 0) return;
  }
}

void FakeDesktop::EnumChildWindows(Hwnd parent, const platform::EnumProc& proc, std::int32_t context) {
  Log("EnumChildWindows", parent);
  std::vector<Hwnd> snapshot;
  Descendants(parent, snapshot);
  for (Hwnd window : snapshot) {
    if (proc(window, context) == 0) return;
  }
}

int FakeDesktop::GetWindowTextLengthA(Hwnd window) {
  Log("GetWindowTextLengthA", window);
  const auto found = windows_.find(window);
  return found == windows_.end() ? 0 : static_cast<int>(found->second.title.size());
}

int FakeDesktop::GetWindowTextA(Hwnd window, char* buffer, int maxCount) {
  Log("GetWindowTextA", window, maxCount);
  const auto found = windows_.find(window);
  if (found == windows_.end()) {
    if (maxCount > 0) buffer[0] = '\0';
    return 0;
  }
  return CopyOut(found->second.title, buffer, maxCount);
}

int FakeDesktop::GetClassNameA(Hwnd window, char* buffer, int maxCount) {
  Log("GetClassNameA", window, maxCount);
  const auto found = windows_.find(window);
  return found == windows_.end() ? 0 : CopyOut(found->second.className, buffer, maxCount);
}

std::uint32_t FakeDesktop::RegisterWindowMessageA(const char* name) {
  Log(std::string("RegisterWindowMessageA ") + name, 0);
  return MessageNumber(name);
}

std::intptr_t FakeDesktop::SendMessageTimeoutA(Hwnd window, std::uint32_t message, std::uintptr_t wParam,
                                               std::intptr_t lParam, std::uint32_t flags,
                                               std::uint32_t timeoutMs, std::uintptr_t* result,
                                               std::uint32_t* error) {
  sent_.push_back({window, message, wParam, lParam, flags, timeoutMs, result ? *result : 0});
  Log("SendMessageTimeoutA", window);
  const auto found = windows_.find(window);
  if (error) *error = found != windows_.end() && found->second.denied ? platform::kErrorAccessDenied : 0;
  if (found == windows_.end() || found->second.hung || found->second.denied) return 0;
  const bool asksDocument = message == MessageNumber("WM_HTML_GETOBJECT");
  if (result) *result = asksDocument ? found->second.answer : 0;
  return 1;
}

Hwnd FakeDesktop::GetForegroundWindow() {
  Log("GetForegroundWindow", 0);
  return foreground_;
}

bool FakeDesktop::IsWindow(Hwnd window) {
  Log("IsWindow", window);
  return Exists(window);
}

std::uint32_t FakeDesktop::GetWindowThreadProcessId(Hwnd window, std::uint32_t* processId) {
  Log("GetWindowThreadProcessId", window);
  const auto found = windows_.find(window);
  if (processId) *processId = found == windows_.end() ? 0 : found->second.process;
  return found == windows_.end() ? 0 : found->second.thread;
}

Hwnd FakeDesktop::GetAncestor(Hwnd window, std::uint32_t flags) {
  Log("GetAncestor", window);
  if (flags != platform::kGaRoot || !Exists(window)) return 0;
  while (windows_.at(window).parent != 0) window = windows_.at(window).parent;
  return window;
}

void FakeDesktop::Log(std::string name, Hwnd window, int maxCount) {
  const WindowCall call{std::move(name), window, maxCount};
  calls_.push_back(call);
  if (beforeCall) beforeCall(call);
}

FakeDesktop::Window& FakeDesktop::At(Hwnd window) {
  const auto found = windows_.find(window);
  if (found == windows_.end()) throw std::invalid_argument("no such window");
  return found->second;
}

void FakeDesktop::Descendants(Hwnd parent, std::vector<Hwnd>& out) const {
  for (const auto& [window, data] : windows_) {
    if (data.parent == parent) {
      out.push_back(window);
      Descendants(window, out);
    }
  }
}

int FakeDesktop::CopyOut(const std::string& text, char* buffer, int maxCount) {
  if (maxCount <= 0) return 0;
  const auto count = std::min(text.size(), static_cast<std::size_t>(maxCount - 1));
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
  return static_cast<int>(count);
}

}  // namespace murmuro::fakes
