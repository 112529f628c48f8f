#pragma once
// Reads one conversation view's text through its HTML document. Never fails towards the
// caller: every failure comes back as the text "Window Not Found" with an empty HTML.
#include <memory>

#include "base/window_records.h"
#include "platform/html_document.h"
#include "platform/window_system.h"

namespace murmuro {

inline constexpr std::uint32_t kGetObjectTimeoutMs = 1000;
inline constexpr TextView kWindowNotFound = u"Window Not Found";

// The result of one capture.
struct IMTextResult {
  murmuro::Text Text;
  murmuro::Text HTML;
};

// What a capture needs of the platform.
struct CaptureContext {
  platform::WindowSystem& windows;
  platform::DocumentSource& documents;
};

// The view's document through IHTMLDocument, or empty.
std::unique_ptr<platform::HtmlDocument> GetHTMLDocument(const CaptureContext& ctx, Hwnd view);

IMTextResult GetIMText(const CaptureContext& ctx, Hwnd view);

}  // namespace murmuro
