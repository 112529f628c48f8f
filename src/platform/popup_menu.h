#pragma once
// The tray icon's popup menu, shown at the mouse position.
#include <cstdint>
#include <optional>
#include <span>

#include "base/text.h"

namespace murmuro::platform {

struct MenuItem {
  Text Caption;  // "-" draws a separator, which cannot be chosen
  bool Checked = false;

  bool operator==(const MenuItem&) const = default;
};

class PopupMenu {
 public:
  virtual ~PopupMenu() = default;
  // Shows `items` at the mouse position and returns when the menu has closed: the index of the
  // chosen item, or nullopt when the user chose nothing. Timer ticks go on meanwhile.
  virtual std::optional<std::int16_t> PopupAtMouse(std::span<const MenuItem> items) = 0;
};

}  // namespace murmuro::platform
