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
  // The element this one is in (parentElement), or empty.
  virtual std::unique_ptr<HtmlElement> Parent() = 0;
  // Who the object is (the address of its IUnknown): two references held at once are to the
  // same object when they answer the same. 0 when it cannot be told.
  virtual std::uintptr_t Identity() = 0;
};

// How a probe went: an answer, a question the document does not support (E_NOTIMPL,
// DISP_E_MEMBERNOTFOUND, E_NOINTERFACE, an answer of the wrong type), or a call that failed.
enum class ProbeOutcome { kAnswered, kUnsupported, kFailed };

struct ProbeAnswer {
  ProbeOutcome outcome = ProbeOutcome::kFailed;
  std::int32_t count = 0;
};

// The document's collection of all its elements, kept from one capture to the next: the
// collection is live, so its length follows the document.
class HtmlElementCollection {
 public:
  virtual ~HtmlElementCollection() = default;
  virtual ProbeAnswer Length() = 0;  // one cross-process call
  // The element at `index` in source order (the last one begins last), or empty.
  virtual std::unique_ptr<HtmlElement> Item(std::int32_t index) = 0;
};

// The document through IHTMLDocument2.
class HtmlDocument2 {
 public:
  virtual ~HtmlDocument2() = default;
  virtual std::unique_ptr<HtmlElement> Body() = 0;
  // The document's `all` collection; empty, with `outcome` set, when it cannot be had.
  virtual std::unique_ptr<HtmlElementCollection> All(ProbeOutcome& outcome) = 0;
  // As HtmlElement::Identity: a view that loads a new page hands out another document.
  virtual std::uintptr_t Identity() = 0;
};

// The document through IHTMLDocument.
class HtmlDocument {
 public:
  virtual ~HtmlDocument() = default;
  virtual std::unique_ptr<HtmlDocument2> QueryDocument2() = 0;
};

// ObjectFromLresult with wParam 0; empty when the call fails. An answer can be used once.
class DocumentSource {
 public:
  virtual ~DocumentSource() = default;
  // Asking for IHTMLDocument2 straight away saves a cross-process query.
  virtual std::unique_ptr<HtmlDocument2> Document2FromLresult(std::uintptr_t lresult) = 0;
  // Asking for IHTMLDocument, the interface the answer was made for.
  virtual std::unique_ptr<HtmlDocument> ObjectFromLresult(std::uintptr_t lresult) = 0;
};

}  // namespace murmuro::platform
