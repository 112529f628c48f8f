#pragma once
// The browser control's document, reached from the answer to "WM_HTML_GETOBJECT".
// Every step can fail (an empty pointer or nullopt); each object releases its reference when
// destroyed, so a capture leaves nothing behind on any path.
#include <cstdint>
#include <memory>
#include <optional>

#include "base/text.h"

namespace murmuro::platform {

class HtmlElement {
 public:
  virtual ~HtmlElement() = default;
  virtual std::optional<Text> InnerText() = 0;
  virtual std::optional<Text> InnerHtml() = 0;
};

// The document through IHTMLDocument2.
class HtmlDocument2 {
 public:
  virtual ~HtmlDocument2() = default;
  virtual std::unique_ptr<HtmlElement> Body() = 0;
};

// The document through IHTMLDocument, as ObjectFromLresult gives it.
class HtmlDocument {
 public:
  virtual ~HtmlDocument() = default;
  virtual std::unique_ptr<HtmlDocument2> QueryDocument2() = 0;
};

class DocumentSource {
 public:
  virtual ~DocumentSource() = default;
  // ObjectFromLresult for IHTMLDocument with wParam 0; empty when the call fails.
  virtual std::unique_ptr<HtmlDocument> ObjectFromLresult(std::uintptr_t lresult) = 0;
};

}  // namespace murmuro::platform
