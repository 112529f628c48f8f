#include "imwindows/capture.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <utility>

namespace murmuro {
namespace {

// The body text is followed by five characters of the client's own that are not conversation.
constexpr std::size_t kTrailer = 5;

// A capture step that gave nothing; caught below and turned into "Window Not Found".
struct CaptureFailed {};

template <class T>
T Require(std::optional<T> value) {
  if (!value) throw CaptureFailed{};
  return std::move(*value);
}

// The body is fetched anew for each read, and released right after it.
std::unique_ptr<platform::HtmlElement> FetchBody(platform::HtmlDocument2& document) {
  auto body = document.Body();
  if (!body) throw CaptureFailed{};
  return body;
}

Text ReadInnerText(platform::HtmlDocument2& document) {
  return Require(FetchBody(document)->InnerText());
}

Text ReadInnerHtml(platform::HtmlDocument2& document) {
  return Require(FetchBody(document)->InnerHtml());
}

std::unique_ptr<platform::HtmlDocument2> GetDocument2(const CaptureContext& ctx, Hwnd view) {
  const auto document = GetHTMLDocument(ctx, view);
  if (!document) return nullptr;
  return document->QueryDocument2();
}

}  // namespace

std::unique_ptr<platform::HtmlDocument> GetHTMLDocument(const CaptureContext& ctx, Hwnd view) {
  if (view == 0) return nullptr;
  // Looked up every time: the registry of message names is the window system's, not ours.
  const std::uint32_t message = ctx.windows.RegisterWindowMessageA("WM_HTML_GETOBJECT");
  // The receiver never reads lParam; it only has to point at something.
  std::int32_t unused = 0;
  std::uintptr_t answer = 0;
  ctx.windows.SendMessageTimeoutA(view, message, 0, reinterpret_cast<std::intptr_t>(&unused),
                                  platform::kSmtoAbortIfHung, kGetObjectTimeoutMs, &answer);
  if (answer == 0) return nullptr;
  return ctx.documents.ObjectFromLresult(answer);
}

IMTextResult GetIMText(const CaptureContext& ctx, Hwnd view) {
  IMTextResult result;
  try {
    const auto document = GetDocument2(ctx, view);
    if (!document) throw CaptureFailed{};
    const Text first = ReadInnerText(*document);
    const Text second = ReadInnerText(*document);
    // A line may arrive between the two reads. Cutting the first read by the longer second one
    // would keep the client's trailer as conversation text, and the next capture would then see
    // every line as new; so the shorter of the two reads decides where the cut goes.
    const std::size_t shorter = std::min(first.size(), second.size());
    if (shorter < kTrailer) throw CaptureFailed{};
    const std::size_t keep = shorter - kTrailer;
    Text html = ReadInnerHtml(*document);
    result.Text = first.substr(0, keep);
    result.HTML = std::move(html);
  } catch (...) {
    // The markup is set last, so a failure leaves it empty.
    result.Text = Text(kWindowNotFound);
  }
  return result;
}

}  // namespace murmuro
