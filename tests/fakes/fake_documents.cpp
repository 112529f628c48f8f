#include "fakes/fake_documents.h"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

namespace murmuro::fakes {

// What one answer gave: the document, and the tally every object reports to.
struct Session {
  std::shared_ptr<FakeDocument> document;
  std::shared_ptr<FakeDocuments::Stats> stats;

  // Logs the step, runs the hook, and says whether the step gives something.
  bool Step(DocStep step) {
    stats->steps.push_back(step);
    if (document->beforeStep) document->beforeStep(step);
    const bool lacking = document->noDocument2 && (step == DocStep::kDocument2 || step == DocStep::kQueryDocument2);
    return !document->disconnected && !lacking && document->failAt != step;
  }
};

namespace {

class Counted {
 public:
  explicit Counted(std::shared_ptr<Session> session) : session_(std::move(session)) {
    auto& stats = *session_->stats;
    stats.peak = std::max(stats.peak, ++stats.live);
  }
  ~Counted() { --session_->stats->live; }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;

 protected:
  std::shared_ptr<Session> session_;
};

// The lines that are elements: the text less its trailer, cut at CR LF.
std::vector<TextView> Lines(const FakeDocument& document) {
  TextView text(document.innerText);
  text.remove_suffix(std::min(document.trailer, text.size()));
  std::vector<TextView> lines;
  if (text.empty()) return lines;
  for (std::size_t end; (end = text.find(u"\r\n")) != TextView::npos; text.remove_prefix(end + 2)) {
    lines.push_back(text.substr(0, end));
  }
  lines.push_back(text);
  // Breaks inside the last element: its lines are one element's text.
  const std::size_t merged = std::min(document.elementless, lines.size() - 1);
  if (merged > 0) {
    const TextView& first = lines[lines.size() - 1 - merged];
    const TextView& last = lines.back();
    const TextView joined(first.data(), static_cast<std::size_t>(last.data() + last.size() - first.data()));
    lines.resize(lines.size() - merged);
    lines.back() = joined;
  }
  return lines;
}

// Identities: the document's id in the high bits, the object in the low ones.
std::uintptr_t IdentityOf(const Session& session, std::size_t object) {
  return static_cast<std::uintptr_t>((session.document->id << 20) | object);
}

class Element final : public platform::HtmlElement, Counted {
 public:
  using Counted::Counted;
  std::optional<Text> InnerText() override {
    if (!session_->Step(DocStep::kInnerText)) return std::nullopt;
    return session_->document->innerText;
  }
  std::unique_ptr<platform::HtmlElement> Parent() override {
    session_->Step(DocStep::kParent);
    return nullptr;
  }
  std::uintptr_t Identity() override { return IdentityOf(*session_, 1); }
};

class LineElement final : public platform::HtmlElement, Counted {
 public:
  LineElement(std::shared_ptr<Session> session, std::size_t index, Text text)
      : Counted(std::move(session)), index_(index), last_(std::move(text)) {}
  std::optional<Text> InnerText() override {
    if (!session_->Step(DocStep::kLineText)) return std::nullopt;
    const auto lines = Lines(*session_->document);
    if (index_ < lines.size()) last_ = Text(lines[index_]);
    return last_;
  }
  std::unique_ptr<platform::HtmlElement> Parent() override {
    if (!session_->Step(DocStep::kParent)) return nullptr;
    return std::make_unique<Element>(session_);
  }
  std::uintptr_t Identity() override { return IdentityOf(*session_, 2 + index_); }

 private:
  std::size_t index_;
  Text last_;
};

// A probe step's outcome: a client that is there says "not supported" before anything fails.
platform::ProbeOutcome ProbeStep(Session& session, DocStep step) {
  const bool gives = session.Step(step);
  const FakeDocument& document = *session.document;
  if (document.probeUnsupported && !document.disconnected) {
    return platform::ProbeOutcome::kUnsupported;
  }
  return gives ? platform::ProbeOutcome::kAnswered : platform::ProbeOutcome::kFailed;
}

// Live: the length follows the document's text at the time it is asked.
class Collection final : public platform::HtmlElementCollection, Counted {
 public:
  using Counted::Counted;
  platform::ProbeAnswer Length() override {
    platform::ProbeAnswer answer{ProbeStep(*session_, DocStep::kLength)};
    if (answer.outcome == platform::ProbeOutcome::kAnswered) {
      answer.count = static_cast<std::int32_t>(Lines(*session_->document).size());
    }
    return answer;
  }
  std::unique_ptr<platform::HtmlElement> Item(std::int32_t index) override {
    if (!session_->Step(DocStep::kItem) || index < 0) return nullptr;
    const auto lines = Lines(*session_->document);
    const auto at = static_cast<std::size_t>(index);
    if (at >= lines.size()) return nullptr;
    return std::make_unique<LineElement>(session_, at, Text(lines[at]));
  }
};

class Document2 final : public platform::HtmlDocument2, Counted {
 public:
  using Counted::Counted;
  std::unique_ptr<platform::HtmlElement> Body() override {
    if (!session_->Step(DocStep::kBody)) return nullptr;
    return std::make_unique<Element>(session_);
  }
  std::unique_ptr<platform::HtmlElementCollection> All(platform::ProbeOutcome& outcome) override {
    outcome = ProbeStep(*session_, DocStep::kAll);
    if (outcome != platform::ProbeOutcome::kAnswered) return nullptr;
    return std::make_unique<Collection>(session_);
  }
  std::uintptr_t Identity() override { return IdentityOf(*session_, 0); }
};

class Document final : public platform::HtmlDocument, Counted {
 public:
  using Counted::Counted;
  std::unique_ptr<platform::HtmlDocument2> QueryDocument2() override {
    if (!session_->Step(DocStep::kQueryDocument2)) return nullptr;
    return std::make_unique<Document2>(session_);
  }
};

}  // namespace

FakeDocuments::FakeDocuments() : stats_(std::make_shared<Stats>()) {}

FakeDocument& FakeDocuments::Add(std::uintptr_t lresult, Text innerText) {
  auto document = std::make_shared<FakeDocument>();
  document->innerText = std::move(innerText);
  document->id = ++made_;
  documents_[lresult] = document;
  return *document;
}

FakeDocument& FakeDocuments::At(std::uintptr_t lresult) {
  const auto found = documents_.find(lresult);
  if (found == documents_.end()) throw std::invalid_argument("no such document");
  return *found->second;
}

std::shared_ptr<Session> FakeDocuments::Open(std::uintptr_t lresult, DocStep step) {
  const auto found = documents_.find(lresult);
  if (found == documents_.end()) {
    stats_->steps.push_back(step);
    return nullptr;
  }
  auto session = std::make_shared<Session>(Session{found->second, stats_});
  if (!session->Step(step)) return nullptr;
  return session;
}

std::unique_ptr<platform::HtmlDocument2> FakeDocuments::Document2FromLresult(std::uintptr_t lresult) {
  auto session = Open(lresult, DocStep::kDocument2);
  return session ? std::make_unique<Document2>(std::move(session)) : nullptr;
}

std::unique_ptr<platform::HtmlDocument> FakeDocuments::ObjectFromLresult(std::uintptr_t lresult) {
  auto session = Open(lresult, DocStep::kObject);
  return session ? std::make_unique<Document>(std::move(session)) : nullptr;
}

}  // namespace murmuro::fakes
