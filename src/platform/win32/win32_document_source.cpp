#include "platform/win32/win32_document_source.h"

#include <windows.h>
#include <mshtml.h>
#include <oleacc.h>
#include <wrl/client.h>

#include "platform/win32/handles.h"

namespace murmuro::win32 {
namespace {

using Microsoft::WRL::ComPtr;
static_assert(sizeof(wchar_t) == sizeof(char16_t));

// A BSTR property read; a null BSTR is the empty text.
template <class Read>
std::optional<Text> ReadText(Read&& read) {
  UniqueBstr value;
  if (FAILED(read(value.put()))) return std::nullopt;
  return Text(reinterpret_cast<const char16_t*>(value.get()), ::SysStringLen(value.get()));
}

// On a proxy the question is answered locally: COM keeps one proxy per object and apartment.
template <class Interface>
std::uintptr_t IdentityOf(const ComPtr<Interface>& object) {
  ComPtr<IUnknown> unknown;
  if (!object || FAILED(object.As(&unknown)) || !unknown) return 0;
  return reinterpret_cast<std::uintptr_t>(unknown.Get());
}

class ComHtmlElement final : public platform::HtmlElement {
 public:
  explicit ComHtmlElement(ComPtr<IHTMLElement> element) : element_(std::move(element)) {}
  std::optional<Text> InnerText() override {
    return ReadText([&](BSTR* out) { return element_->get_innerText(out); });
  }
  std::unique_ptr<platform::HtmlElement> Parent() override {
    ComPtr<IHTMLElement> parent;
    if (FAILED(element_->get_parentElement(parent.GetAddressOf())) || !parent) return nullptr;
    return std::make_unique<ComHtmlElement>(std::move(parent));
  }
  std::uintptr_t Identity() override { return IdentityOf(element_); }

 private:
  ComPtr<IHTMLElement> element_;
};

// Questions the document does not answer are told apart from calls that failed: the first
// stay unanswered, the second may go through next time.
platform::ProbeOutcome OutcomeOf(HRESULT hr) {
  if (SUCCEEDED(hr)) return platform::ProbeOutcome::kAnswered;
  if (hr == E_NOTIMPL || hr == DISP_E_MEMBERNOTFOUND || hr == E_NOINTERFACE ||
      hr == DISP_E_TYPEMISMATCH) {
    return platform::ProbeOutcome::kUnsupported;
  }
  return platform::ProbeOutcome::kFailed;
}

class ComHtmlElementCollection final : public platform::HtmlElementCollection {
 public:
  explicit ComHtmlElementCollection(ComPtr<IHTMLElementCollection> collection)
      : collection_(std::move(collection)) {}
  platform::ProbeAnswer Length() override {
    LONG length = 0;
    platform::ProbeAnswer answer{OutcomeOf(collection_->get_length(&length))};
    if (answer.outcome != platform::ProbeOutcome::kAnswered) return answer;
    // A count below zero is no count at all, and will not become one.
    if (length < 0) return {platform::ProbeOutcome::kUnsupported};
    answer.count = static_cast<std::int32_t>(length);
    return answer;
  }
  std::unique_ptr<platform::HtmlElement> Item(std::int32_t index) override {
    VARIANT name;
    ::VariantInit(&name);
    V_VT(&name) = VT_I4;
    V_I4(&name) = index;
    VARIANT none;
    ::VariantInit(&none);
    ComPtr<IDispatch> answer;
    if (FAILED(collection_->item(name, none, answer.GetAddressOf())) || !answer) return nullptr;
    // Whatever the client put there: only an element has a text to check.
    ComPtr<IHTMLElement> element;
    if (FAILED(answer.As(&element)) || !element) return nullptr;
    return std::make_unique<ComHtmlElement>(std::move(element));
  }

 private:
  ComPtr<IHTMLElementCollection> collection_;
};

class ComHtmlDocument2 final : public platform::HtmlDocument2 {
 public:
  explicit ComHtmlDocument2(ComPtr<IHTMLDocument2> document) : document_(std::move(document)) {}
  std::unique_ptr<platform::HtmlElement> Body() override {
    ComPtr<IHTMLElement> body;
    if (FAILED(document_->get_body(body.GetAddressOf())) || !body) return nullptr;
    return std::make_unique<ComHtmlElement>(std::move(body));
  }
  std::unique_ptr<platform::HtmlElementCollection> All(platform::ProbeOutcome& outcome) override {
    ComPtr<IHTMLElementCollection> answer;
    outcome = OutcomeOf(document_->get_all(answer.GetAddressOf()));
    if (outcome != platform::ProbeOutcome::kAnswered) return nullptr;
    // What came back is whatever the client put there: make sure it is a collection (on a
    // proxy the question is answered locally).
    ComPtr<IHTMLElementCollection> collection;
    if (!answer || FAILED(answer.As(&collection)) || !collection) {
      outcome = platform::ProbeOutcome::kUnsupported;
      return nullptr;
    }
    return std::make_unique<ComHtmlElementCollection>(std::move(collection));
  }
  std::uintptr_t Identity() override { return IdentityOf(document_); }

 private:
  ComPtr<IHTMLDocument2> document_;
};

class ComHtmlDocument final : public platform::HtmlDocument {
 public:
  explicit ComHtmlDocument(ComPtr<IHTMLDocument> document) : document_(std::move(document)) {}
  std::unique_ptr<platform::HtmlDocument2> QueryDocument2() override {
    ComPtr<IHTMLDocument2> document2;
    if (FAILED(document_.As(&document2)) || !document2) return nullptr;
    return std::make_unique<ComHtmlDocument2>(std::move(document2));
  }

 private:
  ComPtr<IHTMLDocument> document_;
};

// wParam as sent with the request: 0.
template <class Interface>
ComPtr<Interface> FromLresult(std::uintptr_t lresult, REFIID iid) {
  ComPtr<Interface> object;
  const HRESULT hr = ::ObjectFromLresult(static_cast<LRESULT>(lresult), iid, 0,
                                         reinterpret_cast<void**>(object.GetAddressOf()));
  if (FAILED(hr)) object.Reset();
  return object;
}

}  // namespace

std::unique_ptr<platform::HtmlDocument2> Win32DocumentSource::Document2FromLresult(std::uintptr_t lresult) {
  auto document = FromLresult<IHTMLDocument2>(lresult, IID_IHTMLDocument2);
  if (!document) return nullptr;
  return std::make_unique<ComHtmlDocument2>(std::move(document));
}

std::unique_ptr<platform::HtmlDocument> Win32DocumentSource::ObjectFromLresult(std::uintptr_t lresult) {
  auto document = FromLresult<IHTMLDocument>(lresult, IID_IHTMLDocument);
  if (!document) return nullptr;
  return std::make_unique<ComHtmlDocument>(std::move(document));
}

}  // namespace murmuro::win32
