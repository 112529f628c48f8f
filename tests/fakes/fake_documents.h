#pragma once
// Documents behind the answers to "WM_HTML_GETOBJECT". Each can be told to give nothing at any
// step of a capture, to lack IHTMLDocument2, or to fail from now on (its client has gone); a
// hook before each step can change the desktop. Every object handed out is counted while it
// lives, so tests can prove that a capture releases all it took.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/html_document.h"

namespace murmuro::fakes {

// The steps a capture can make: the answer taken as IHTMLDocument2, or as IHTMLDocument and
// then queried, then the body and its text; the probe: the `all` collection, its length; and the
// check: an element of `all`, its parent, and a line element's text.
enum class DocStep {
  kDocument2, kObject, kQueryDocument2, kBody, kInnerText,
  kAll, kLength, kItem, kParent, kLineText,
};

// The document holds one element per CR-LF line of its text less the last `trailer` characters
// (none for an empty text), so text appended inside the last line adds none, as in a real
// document. An element taken from `all` reads its line as it is now; once the text has fewer
// lines it keeps what it last read, as an element taken out of a document does. A line element's
// parent is the body.
struct FakeDocument {
  Text innerText;
  std::size_t trailer = 0;
  std::size_t elementless = 0;  // the last line breaks that add no element: the last element holds them
  std::optional<DocStep> failAt;  // that step gives nothing (a probe step: kFailed)
  bool noDocument2 = false;       // the document does not offer IHTMLDocument2
  bool probeUnsupported = false;  // `all` and its length are not supported
  bool disconnected = false;      // every step gives nothing
  std::function<void(DocStep)> beforeStep;
  std::uint64_t id = 0;  // tells this document's objects from another's, one answered before it
};

struct Session;

class FakeDocuments final : public platform::DocumentSource {
 public:
  FakeDocuments();
  // The document answered by `lresult`; replaces any earlier one.
  FakeDocument& Add(std::uintptr_t lresult, Text innerText);
  FakeDocument& At(std::uintptr_t lresult);

  // Objects handed out and not yet released.
  int Live() const { return stats_->live; }
  int PeakLive() const { return stats_->peak; }
  // Every step asked for, across all captures, whether it succeeded or not.
  const std::vector<DocStep>& Steps() const { return stats_->steps; }
  void ClearSteps() { stats_->steps.clear(); }

  std::unique_ptr<platform::HtmlDocument2> Document2FromLresult(std::uintptr_t lresult) override;
  std::unique_ptr<platform::HtmlDocument> ObjectFromLresult(std::uintptr_t lresult) override;

  struct Stats {
    int live = 0;
    int peak = 0;
    std::vector<DocStep> steps;
  };

 private:
  std::shared_ptr<Session> Open(std::uintptr_t lresult, DocStep step);

  std::shared_ptr<Stats> stats_;
  std::uint64_t made_ = 0;
  std::map<std::uintptr_t, std::shared_ptr<FakeDocument>> documents_;
};

}  // namespace murmuro::fakes
