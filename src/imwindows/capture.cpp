#include "imwindows/capture.h"

#include <cstddef>
#include <map>
#include <utility>

namespace murmuro {
namespace {

// The body text is followed by five characters of the client's own that are not conversation.
constexpr std::size_t kTrailer = 5;

// The view's answer to "WM_HTML_GETOBJECT"; 0 when there is none.
std::uintptr_t RequestDocument(const CaptureContext& ctx, Hwnd view) {
  // Looked up every time: the registry of message names is the window system's, not ours.
  const std::uint32_t message = ctx.windows.RegisterWindowMessageA("WM_HTML_GETOBJECT");
  // The receiver never reads lParam; it only has to point at something.
  std::int32_t unused = 0;
  std::uintptr_t answer = 0;
  ctx.windows.SendMessageTimeoutA(view, message, 0, reinterpret_cast<std::intptr_t>(&unused),
                                  platform::kSmtoAbortIfHung, kGetObjectTimeoutMs, &answer);
  return answer;
}

}  // namespace

std::unique_ptr<platform::HtmlDocument2> GetHTMLDocument(const CaptureContext& ctx, Hwnd view) {
  if (view == 0) return nullptr;
  std::uintptr_t answer = RequestDocument(ctx, view);
  if (answer == 0) return nullptr;
  if (auto document = ctx.documents.Document2FromLresult(answer)) return document;
  // The answer is used up by that attempt: ask again, for the interface it was made for.
  answer = RequestDocument(ctx, view);
  if (answer == 0) return nullptr;
  const auto document = ctx.documents.ObjectFromLresult(answer);
  return document ? document->QueryDocument2() : nullptr;
}

void KeptDocuments::Keep(Hwnd view, std::unique_ptr<platform::HtmlDocument2> document,
                         std::unique_ptr<platform::HtmlElement> body) {
  Held& slot = held_[view];
  // The earlier pair goes only once the new one is held.
  const Held earlier = std::exchange(slot, Held{std::move(document), std::move(body)});
  if (!slot.document && !slot.body) held_.erase(view);
}

IMTextResult GetIMText(const CaptureContext& ctx, Hwnd view, KeptDocuments* keep) {
  IMTextResult result;
  std::unique_ptr<platform::HtmlDocument2> document;
  std::unique_ptr<platform::HtmlElement> body;
  try {
    // One read of a live document cannot tear, so one read is all it takes.
    document = GetHTMLDocument(ctx, view);
    body = document ? document->Body() : nullptr;
    auto text = body ? body->InnerText() : std::nullopt;
    if (!text) {
      result.Text = Text(kWindowNotFound);
    } else if (text->size() < kTrailer) {
      result.Text = Text(kWindowNotFound);
      result.How = Answer::kTooShort;
    } else {
      text->resize(text->size() - kTrailer);
      result.Text = std::move(*text);
      result.How = Answer::kRead;
    }
  } catch (...) {
    result.Text = Text(kWindowNotFound);
    result.How = Answer::kNone;
  }
  if (keep) {
    try {
      // A view that did not answer this time (its client busy past the time-out) still holds
      // on to what it had; only a view that is gone lets go.
      if (document || !ctx.windows.IsWindow(view)) keep->Keep(view, std::move(document), std::move(body));
    } catch (...) {
      // Not kept (no memory for it): released here instead, as without `keep`.
    }
  }
  return result;
}

}  // namespace murmuro
