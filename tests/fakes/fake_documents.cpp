#include "fakes/fake_documents.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace murmuro::fakes {
namespace {

// What one ObjectFromLresult gave: the document, and how far the capture has gone with it.
struct Session {
  std::shared_ptr<FakeDocument> document;
  std::shared_ptr<FakeDocuments::Stats> stats;
  int bodies = 0;
  int texts = 0;

  // Logs the step, runs the hook, and says whether the step gives something.
  bool Step(DocStep step) {
    stats->steps.push_back(step);
    if (document->beforeStep) document->beforeStep(step);
    return !document->disconnected && document->failAt != step;
  }
};

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

DocStep Nth(DocStep first, int n, int last) {
  return static_cast<DocStep>(static_cast<int>(first) + 2 * (std::min(n, last) - 1));
}

class Element final : public platform::HtmlElement, Counted {
 public:
  using Counted::Counted;
  std::optional<Text> InnerText() override {
    const DocStep step = Nth(DocStep::kInnerText1, ++session_->texts, 2);
    if (!session_->Step(step)) return std::nullopt;
    return session_->document->innerText;
  }
  std::optional<Text> InnerHtml() override {
    if (!session_->Step(DocStep::kInnerHtml)) return std::nullopt;
    return session_->document->innerHtml;
  }
};

class Document2 final : public platform::HtmlDocument2, Counted {
 public:
  using Counted::Counted;
  std::unique_ptr<platform::HtmlElement> Body() override {
    const DocStep step = Nth(DocStep::kBody1, ++session_->bodies, 3);
    if (!session_->Step(step)) return nullptr;
    return std::make_unique<Element>(session_);
  }
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

FakeDocument& FakeDocuments::Add(std::uintptr_t lresult, Text innerText, Text innerHtml) {
  auto document = std::make_shared<FakeDocument>();
  document->innerText = std::move(innerText);
  document->innerHtml = std::move(innerHtml);
  documents_[lresult] = document;
  return *document;
}

FakeDocument& FakeDocuments::At(std::uintptr_t lresult) {
  const auto found = documents_.find(lresult);
  if (found == documents_.end()) throw std::invalid_argument("no such document");
  return *found->second;
}

std::unique_ptr<platform::HtmlDocument> FakeDocuments::ObjectFromLresult(std::uintptr_t lresult) {
  const auto found = documents_.find(lresult);
  if (found == documents_.end()) {
    stats_->steps.push_back(DocStep::kObject);
    return nullptr;
  }
  auto session = std::make_shared<Session>(Session{found->second, stats_});
  if (!session->Step(DocStep::kObject)) return nullptr;
  return std::make_unique<Document>(std::move(session));
}

}  // namespace murmuro::fakes
