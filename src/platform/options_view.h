#pragma once
// The options dialog's window. The dialog's model owns what is shown and calls this view to
// create, redraw and destroy the window; the view hands the user's edits and clicks back to
// the model.
#include <cstdint>
#include <string>
#include <vector>

#include "base/text.h"

namespace murmuro::platform {

// What the controls show.
struct OptionsContent {
  std::vector<Text> Rows;       // the acronym list box, one name per record
  std::int32_t ListIndex = -1;  // the selected row from 0; -1 none
  Text Name;                    // name box
  Text Meaning;                 // meaning box
  std::int16_t Check = 0;       // active-window-only check box: 0 clear, 1 checked, 2 greyed

  bool operator==(const OptionsContent&) const = default;
};

class OptionsView {
 public:
  virtual ~OptionsView() = default;
  // Creates the window if it does not exist (centred on the screen), shows `content`, and
  // shows the window modeless and in front.
  virtual void Show(const OptionsContent& content) = 0;
  // Shows `content` after a handler changed it. Controls whose content is unchanged may be
  // left alone (keeps the list's scroll position); nothing here counts as a user edit.
  virtual void Render(const OptionsContent& content) = 0;
  // Destroys the window. Can come from inside a click the view itself reported (Done), so the
  // view must not touch the window once this has run.
  virtual void Unload() = 0;
  // A message box over the dialog (UTF-8); returns once the user has dismissed it.
  virtual void ShowError(const std::string& message) = 0;
};

}  // namespace murmuro::platform
