#pragma once
// The two records a scan produces; shared by reference so a tick keeps its entry across a rescan.
#include <memory>

#include "core/one_based_list.h"
#include "core/text.h"

namespace murmuro {

inline constexpr TextView kWindowNotFound = u"Window Not Found";

// One conversation window of the last scan.
class clsParentWindow {
 public:
  Hwnd hwnd = 0;
  Text WindowName;
};

// One conversation view and its last known text.
class clsIMWindow {
 public:
  Hwnd ParenthWnd = 0;
  Hwnd hwnd = 0;
  Text IMText = Text(kCrLf);
};

// The result of one capture.
struct IMTextResult {
  murmuro::Text Text;
  murmuro::Text HTML;
};

using ParentWindowList = OneBasedList<std::shared_ptr<clsParentWindow>>;
using IMWindowList = OneBasedList<std::shared_ptr<clsIMWindow>>;

}  // namespace murmuro
