#pragma once
// The options dialog: edits the acronym list in place and sets the active-window-only switch.
// The model holds what the controls show; its view draws it and reports the user's edits.
#include <cstdint>
#include <functional>

#include "core/resume_next.h"
#include "core/state.h"
#include "platform/options_view.h"

namespace murmuro {

inline constexpr TextView kOptionsCaption = u"Murmuro Options";

// Indexes of the New, Save and Remove buttons.
inline constexpr std::int16_t kAcroNew = 0;
inline constexpr std::int16_t kAcroSave = 1;
inline constexpr std::int16_t kAcroRemove = 2;

class fOps {
 public:
  // `saveSettings` writes the settings file and throws when it cannot.
  fOps(ProgramState& state, platform::OptionsView& view, std::function<void()> saveSettings)
      : state_(state), view_(view), saveSettings_(std::move(saveSettings)) {}

  // Loads the dialog unless it is loaded (running Form_Load), then shows it modeless. Shown
  // again while loaded, it keeps its list, boxes, check box and edit position.
  void Show() noexcept;
  // Discards the dialog's contents and window without storing anything; acronym changes
  // already made stay in the list. An unloaded dialog stays unloaded.
  void Unload() noexcept;
  bool Loaded() const noexcept { return loaded_; }

  // The user's typing and the check box clicks, as the view reports them. They run no handler
  // and are not drawn back. A check value outside 0 to 2 is refused.
  void SetName(Text text) noexcept;
  void SetMeaning(Text text) noexcept;
  void SetCheck(std::int16_t value) noexcept;

  // Handlers. A row number outside the list counts as no row selected (-1).
  void lstAcro_Click(std::int32_t listIndex) noexcept;
  void cAcroOps_Click(std::int16_t index) noexcept;
  void cDone_Click() noexcept;

  const platform::OptionsContent& Content() const noexcept { return content_; }
  // The edit position, kept as text in the name box's Tag: empty, or the position in the
  // acronym list of the record last loaded into the boxes.
  const Text& NameTag() const noexcept { return nameTag_; }

 private:
  void Form_Load(ResumeNext& step);
  void RefreshAcronymList();
  void EmptyBoxes(ResumeNext& step);
  void NewRecord(ResumeNext& step);
  void SaveRecord(ResumeNext& step);
  void RemoveRecord(ResumeNext& step);
  void Render(ResumeNext& step);

  ProgramState& state_;
  platform::OptionsView& view_;
  std::function<void()> saveSettings_;

  bool loaded_ = false;
  platform::OptionsContent content_;
  Text nameTag_;
};

}  // namespace murmuro
