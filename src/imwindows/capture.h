#pragma once
// Reads one conversation view's text through its HTML document. Never fails towards the
// caller: every failure comes back as the text "Window Not Found".
#include <memory>

#include "base/text.h"
#include "platform/html_document.h"
#include "platform/window_system.h"

namespace murmuro {

inline constexpr std::uint32_t kGetObjectTimeoutMs = 1000;
inline constexpr TextView kWindowNotFound = u"Window Not Found";

// The result of one capture.
struct IMTextResult {
  murmuro::Text Text;
  // No capture was made, because the view's last one has not ended (its client stopped
  // answering). Not a failure: the view keeps its last known text. Text is empty then.
  bool Skipped = false;
};

// What a capture needs of the platform.
struct CaptureContext {
  platform::WindowSystem& windows;
  platform::DocumentSource& documents;
};

// The view's document through IHTMLDocument2, or empty.
std::unique_ptr<platform::HtmlDocument2> GetHTMLDocument(const CaptureContext& ctx, Hwnd view);

// One document request, one body, one text read: the body's text less its last five characters.
IMTextResult GetIMText(const CaptureContext& ctx, Hwnd view);

// How the scan and the poll tick capture a view.
class Captures {
 public:
  virtual ~Captures() = default;
  virtual IMTextResult Capture(Hwnd view) = 0;
};

// On the calling thread, for as long as the client takes.
class DirectCaptures final : public Captures {
 public:
  explicit DirectCaptures(CaptureContext ctx) : ctx_(ctx) {}
  IMTextResult Capture(Hwnd view) override { return GetIMText(ctx_, view); }

 private:
  CaptureContext ctx_;
};

}  // namespace murmuro
