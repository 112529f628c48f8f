#pragma once
// Reads one conversation view's text through its HTML document. Never fails towards the
// caller: every failure comes back as the text "Window Not Found".
#include <map>
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

// Each view's document and body from its last capture, held until its next capture has its own,
// so the client never sees the last reference go between two captures: under Wine a client can
// deadlock tearing down the stub of an object that is asked for again at once. Used by the one
// thread that calls into the client; what it holds goes with Release or with it.
class KeptDocuments {
 public:
  // Holds `document` and `body` for `view` (either may be empty), then lets the earlier go.
  void Keep(Hwnd view, std::unique_ptr<platform::HtmlDocument2> document,
            std::unique_ptr<platform::HtmlElement> body);
  void Release(Hwnd view) { held_.erase(view); }

 private:
  struct Held {
    std::unique_ptr<platform::HtmlDocument2> document;
    std::unique_ptr<platform::HtmlElement> body;
  };
  std::map<Hwnd, Held> held_;
};

// One document request, one body, one text read: the body's text less its last five characters.
// With `keep`, what the capture obtained is held there instead of released at its end.
IMTextResult GetIMText(const CaptureContext& ctx, Hwnd view, KeptDocuments* keep = nullptr);

// How the scan and the poll tick capture a view.
class Captures {
 public:
  virtual ~Captures() = default;
  virtual IMTextResult Capture(Hwnd view) = 0;
  // After each scan and tick: lets go of what views whose window has gone still hold.
  virtual void ReleaseGone() {}
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
