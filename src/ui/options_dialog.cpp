#include "ui/options_dialog.h"

#include <charconv>
#include <stdexcept>
#include <string>

#include "phrase/expand_acronyms.h"
#include "ui/save_failure.h"

namespace murmuro {
namespace {

// The edit position's digits as a list position; throws when they are not one.
std::size_t EditPosition(const Text& tag) {
  const std::string digits = TextToLatin1(tag);
  std::size_t position = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), position);
  if (error != std::errc() || end != digits.data() + digits.size() || position == 0) {
    throw std::invalid_argument("edit position");
  }
  return position;
}

}  // namespace

void fOps::Show() noexcept {
  ResumeNext step;
  if (!loaded_) {
    loaded_ = true;
    content_ = {};
    nameTag_.clear();
    Form_Load(step);
  }
  step([&] { view_.Show(content_); });
}

void fOps::Unload() noexcept {
  if (!loaded_) return;
  loaded_ = false;
  content_ = {};
  nameTag_.clear();
  ResumeNext step;
  step([&] { view_.Unload(); });
}

void fOps::SetName(Text text) noexcept {
  if (loaded_) content_.Name = std::move(text);
}

void fOps::SetMeaning(Text text) noexcept {
  if (loaded_) content_.Meaning = std::move(text);
}

void fOps::SetCheck(std::int16_t value) noexcept {
  if (loaded_ && value >= 0 && value <= 2) content_.Check = value;
}

void fOps::Form_Load(ResumeNext& step) {
  step([&] { RefreshAcronymList(); });
  // The check box takes 0, 1 and 2 only; any other value leaves it clear.
  if (state_.TopOnly >= 0 && state_.TopOnly <= 2) content_.Check = state_.TopOnly;
}

void fOps::RefreshAcronymList() {
  content_.Rows.clear();
  content_.ListIndex = -1;
  const std::size_t count = state_.Acronyms.Count();
  for (std::size_t position = 1; position <= count; ++position) {
    content_.Rows.emplace_back(AcronymName(state_.Acronyms.Item(position)));
  }
}

void fOps::EmptyBoxes(ResumeNext& step) {
  step([&] { content_.Name.clear(); });
  step([&] { nameTag_.clear(); });
  step([&] { content_.Meaning.clear(); });
}

void fOps::lstAcro_Click(std::int32_t listIndex) noexcept {
  if (!loaded_) return;
  const bool onRow = listIndex >= 0 && static_cast<std::size_t>(listIndex) < content_.Rows.size();
  content_.ListIndex = onRow ? listIndex : -1;
  ResumeNext step;
  EmptyBoxes(step);
  if (content_.ListIndex != -1) {
    const auto position = static_cast<std::size_t>(content_.ListIndex) + 1;
    Text record;
    if (step([&] { record = state_.Acronyms.Item(position); })) {
      step([&] { content_.Name = Text(AcronymName(record)); });
      step([&] { nameTag_ = Latin1ToText(std::to_string(position)); });
      step([&] { content_.Meaning = Text(AcronymMeaning(record)); });
    }
  }
  Render(step);
}

void fOps::cAcroOps_Click(std::int16_t index) noexcept {
  if (!loaded_) return;
  ResumeNext step;
  switch (index) {
    case kAcroNew: NewRecord(step); break;
    case kAcroSave: SaveRecord(step); break;
    case kAcroRemove: RemoveRecord(step); break;
    default: return;
  }
  Render(step);
}

void fOps::NewRecord(ResumeNext& step) { EmptyBoxes(step); }

void fOps::SaveRecord(ResumeNext& step) {
  Text record;
  step([&] { record = content_.Name + u"," + content_.Meaning; });
  if (nameTag_.empty()) {
    // The boxes keep their text: Save again appends the same record again.
    step([&] { state_.Acronyms.Add(record); });
  } else {
    step([&] { state_.Acronyms.Item(EditPosition(nameTag_)) = record; });
    EmptyBoxes(step);
  }
  step([&] { RefreshAcronymList(); });
}

void fOps::RemoveRecord(ResumeNext& step) {
  if (!nameTag_.empty()) {
    step([&] { state_.Acronyms.Remove(EditPosition(nameTag_)); });
    EmptyBoxes(step);
  }
  step([&] { RefreshAcronymList(); });
}

void fOps::cDone_Click() noexcept {
  if (!loaded_) return;
  state_.TopOnly = content_.Check;
  if (const auto failure = SaveFailure(saveSettings_)) {
    // The edits are all still here: the dialog stays open for another Done.
    ResumeNext{}([&] {
      view_.ShowError(*failure + "\n\nYour changes are still in the dialog. Press Done to try again.");
    });
    return;
  }
  Unload();
}

void fOps::Render(ResumeNext& step) {
  step([&] { view_.Render(content_); });
}

}  // namespace murmuro
