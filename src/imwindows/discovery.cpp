#include "imwindows/discovery.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "core/resume_next.h"

namespace murmuro {
namespace {

constexpr std::string_view kTitlePhrases[] = {"IM with", "- Instant Message"};
constexpr TextView kViewClass = u"Internet Explorer_Server";
constexpr int kClassBufferSize = 260;

// The callbacks run inside the window system's own enumeration call, which must not be
// unwound by an exception: an error stops the enumeration and is raised once it has returned.
class CallbackErrors {
 public:
  template <class Body>
  std::int32_t Run(Body&& body) noexcept {
    try {
      return std::forward<Body>(body)();
    } catch (...) {
      error_ = std::current_exception();
      return 0;
    }
  }
  void Rethrow() const {
    if (error_) std::rethrow_exception(error_);
  }

 private:
  std::exception_ptr error_;
};

char16_t FoldAscii(char16_t c) noexcept {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

bool ContainsIgnoringCase(TextView text, std::string_view phrase) {
  const auto found = std::search(text.begin(), text.end(), phrase.begin(), phrase.end(),
                                 [](char16_t t, char p) {
                                   return FoldAscii(t) == FoldAscii(static_cast<char16_t>(p));
                                 });
  return found != text.end();
}

// The first `count` code units of the converted buffer; the window system counts 8-bit
// characters, and that count is applied to the converted text as it is.
Text FirstUnits(Text converted, int count) {
  if (count <= 0) return {};
  converted.resize(std::min(converted.size(), static_cast<std::size_t>(count)));
  return converted;
}

const clsIMWindow* FindView(const IMWindowList& list, const ViewId& id) {
  for (const auto& entry : list) {
    if (entry && IdOf(*entry) == id) return entry.get();
  }
  return nullptr;
}

bool IsListed(const ParentWindowList& list, Hwnd window) {
  return std::any_of(list.begin(), list.end(),
                     [window](const auto& entry) { return entry && entry->hwnd == window; });
}

bool HasListedView(const IMWindowList& list, Hwnd parent) {
  return std::any_of(list.begin(), list.end(),
                     [parent](const auto& entry) { return entry && entry->ParenthWnd == parent; });
}

// Looks for a view among the window's descendants by class alone: nothing is captured.
bool HasViewNow(const ScanContext& ctx, Hwnd parent) {
  bool found = false;
  CallbackErrors errors;
  ctx.windows.EnumChildWindows(
      parent,
      [&](Hwnd window, std::int32_t) {
        return errors.Run([&]() -> std::int32_t {
          if (GetWindowClass(ctx.windows, ctx.codec, window) != kViewClass) return 1;
          found = true;
          return 0;
        });
      },
      parent);
  errors.Rethrow();
  return found;
}

// A view that left the list while its window lived takes up where it was.
bool Resume(ProgramState& state, clsIMWindow& view) {
  auto& left = state.LeftViews;
  const auto found = std::find_if(left.begin(), left.end(), [&](const LeftView& v) { return v.hwnd == view.hwnd; });
  if (found == left.end()) return false;
  // Another thread's window behind the same handle: the view that left has gone.
  const bool same = found->Thread == view.Thread && found->Process == view.Process;
  if (same) {
    view.IMText = std::move(found->IMText);
    view.State = found->State;
  }
  left.erase(found);
  return same;
}

// What a conversation held at start-up is history: its first answer is taken silently. A view
// found later is a new conversation; it starts from nothing, so its opening line is read.
void Prime(const ProgramState& state, clsIMWindow& view) {
  if (!state.Scanned) return;
  view.IMText.clear();
  view.State = clsIMWindow::Start::kNew;
}

// Views of the last list that this scan did not find while their window lives, so that one
// failed scan or a busy client never makes a conversation be read from its start again.
void RememberLeftViews(ProgramState& state, const ScanContext& ctx, const IMWindowList& previous) {
  for (const auto& entry : previous) {
    if (!entry || FindView(state.IMWindows, IdOf(*entry))) continue;
    std::uint32_t process = 0;
    const std::uint32_t thread = ctx.windows.GetWindowThreadProcessId(entry->hwnd, &process);
    // Gone, or its handle is another thread's window now.
    if (thread != entry->Thread || process != entry->Process) continue;
    state.LeftViews.push_back({entry->hwnd, entry->Thread, entry->Process, entry->IMText, entry->State});
  }
}

}  // namespace

bool IsConversationTitle(TextView title) {
  return std::any_of(std::begin(kTitlePhrases), std::end(kTitlePhrases),
                     [title](std::string_view phrase) { return ContainsIgnoringCase(title, phrase); });
}

Text GetWindowTitle(platform::WindowSystem& windows, const platform::AnsiCodec& codec, Hwnd window) {
  const int length = windows.GetWindowTextLengthA(window);
  if (length <= 0) return {};
  // Room for the title, one spare character and the terminator; the limit is the whole buffer.
  const int size = length > std::numeric_limits<int>::max() - 2 ? std::numeric_limits<int>::max()
                                                                : length + 2;
  std::string buffer(static_cast<std::size_t>(size), '\0');
  const int copied = windows.GetWindowTextA(window, buffer.data(), size);
  return FirstUnits(codec.ToText(buffer), copied);
}

Text GetWindowClass(platform::WindowSystem& windows, const platform::AnsiCodec& codec, Hwnd window) {
  std::string buffer(kClassBufferSize, '\0');
  const int copied = windows.GetClassNameA(window, buffer.data(), kClassBufferSize);
  return FirstUnits(codec.ToText(buffer), copied);
}

std::int32_t EnumParentProc(ProgramState& state, const ScanContext& ctx, Hwnd window,
                            std::int32_t /*context*/) {
  Text title = GetWindowTitle(ctx.windows, ctx.codec, window);
  if (IsConversationTitle(title)) {
    auto parent = std::make_shared<clsParentWindow>();
    parent->hwnd = window;
    parent->WindowName = std::move(title);
    state.ParentWindows.Add(std::move(parent));
  }
  return 1;
}

std::int32_t EnumIMProc(ProgramState& state, const ScanContext& ctx, Hwnd window,
                        std::int32_t context, const IMWindowList& previous) {
  if (GetWindowClass(ctx.windows, ctx.codec, window) == kViewClass) {
    auto view = std::make_shared<clsIMWindow>();
    view->hwnd = window;
    view->ParenthWnd = context;
    view->Thread = ctx.windows.GetWindowThreadProcessId(window, &view->Process);
    // A view seen before keeps what it showed then, so lines that arrived since are still new.
    if (const clsIMWindow* known = FindView(previous, IdOf(*view))) {
      view->IMText = known->IMText;
      view->State = known->State;
    } else if (!Resume(state, *view)) {
      Prime(state, *view);
    }
    state.IMWindows.Add(std::move(view));
  }
  return 1;
}

void FindParentWindows(ProgramState& state, const ScanContext& ctx) {
  CallbackErrors errors;
  ctx.windows.EnumWindows(
      [&](Hwnd window, std::int32_t context) {
        return errors.Run([&] { return EnumParentProc(state, ctx, window, context); });
      },
      0);
  errors.Rethrow();
}

void FindIMWindows(ProgramState& state, const ScanContext& ctx, Hwnd parent,
                   const IMWindowList& previous) {
  CallbackErrors errors;
  ctx.windows.EnumChildWindows(
      parent,
      [&](Hwnd window, std::int32_t context) {
        return errors.Run([&] { return EnumIMProc(state, ctx, window, context, previous); });
      },
      parent);
  errors.Rethrow();
}

void ReadWindows(ProgramState& state, const ScanContext& ctx) {
  ResumeNext step;
  IMWindowList previous;
  step([&] { ctx.timer.SetEnabled(false); });
  step([&] { state.ParentWindows = ParentWindowList{}; });
  step([&] { previous = std::exchange(state.IMWindows, IMWindowList{}); });
  step([&] { FindParentWindows(state, ctx); });
  // One conversation window that fails (it closed mid-scan, say) costs only its own views.
  const std::size_t count = state.ParentWindows.Count();
  for (std::size_t position = 1; position <= count; ++position) {
    step([&] { FindIMWindows(state, ctx, state.ParentWindows.Item(position)->hwnd, previous); });
  }
  step([&] { RememberLeftViews(state, ctx, previous); });
  state.Scanned = true;
  step([&] { ctx.captures.ReleaseGone(); });
  // Every view found is read from now on; a new one before a burst of lines can pass for history.
  const std::size_t views = state.IMWindows.Count();
  for (std::size_t position = 1; position <= views; ++position) {
    step([&] { RequestCapture(ctx, *state.IMWindows.Item(position)); });
  }
  step([&] { ctx.timer.SetEnabled(true); });
}

bool RequestCapture(const ScanContext& ctx, const clsIMWindow& view) {
  // Until a view's text is known, only a full read tells anything.
  return ctx.captures.Request(IdOf(view), view.State != clsIMWindow::Start::kKnown);
}

void ForgetClosedViews(ProgramState& state, const ScanContext& ctx) {
  auto& left = state.LeftViews;
  left.erase(std::remove_if(left.begin(), left.end(), [&](const LeftView& v) { return !ctx.windows.IsWindow(v.hwnd); }),
             left.end());
}

bool HasUnlistedConversation(const ProgramState& state, const ScanContext& ctx) {
  bool found = false;
  CallbackErrors errors;
  ctx.windows.EnumWindows(
      [&](Hwnd window, std::int32_t) {
        return errors.Run([&]() -> std::int32_t {
          if (IsListed(state.ParentWindows, window)) return 1;
          if (!IsConversationTitle(GetWindowTitle(ctx.windows, ctx.codec, window))) return 1;
          found = true;
          return 0;
        });
      },
      0);
  errors.Rethrow();
  if (found) return true;
  // A conversation window listed before its view existed: the view may have come since.
  for (const auto& parent : state.ParentWindows) {
    if (parent && !HasListedView(state.IMWindows, parent->hwnd) && HasViewNow(ctx, parent->hwnd)) {
      return true;
    }
  }
  return false;
}

}  // namespace murmuro
