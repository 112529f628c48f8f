#pragma once
// The browser control's document in another process, through the accessibility runtime and the
// COM proxies of MSHTML's interfaces. Each object owns one interface reference (ComPtr).
#include "platform/html_document.h"

namespace murmuro::win32 {

class Win32DocumentSource final : public platform::DocumentSource {
 public:
  std::unique_ptr<platform::HtmlDocument2> Document2FromLresult(std::uintptr_t lresult) override;
  std::unique_ptr<platform::HtmlDocument> ObjectFromLresult(std::uintptr_t lresult) override;
};

}  // namespace murmuro::win32
