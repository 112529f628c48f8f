#pragma once
// The two records a scan produces; shared by reference so a tick keeps its entry across a rescan.
// They sit below the program state and the scan, which both hold them.
#include <memory>

#include "base/one_based_list.h"
#include "base/text.h"

namespace murmuro {

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
  // False until a capture has given IMText; the first one that does speaks nothing, so what a
  // view showed when it was found is never read out.
  bool Primed = false;
};

using ParentWindowList = OneBasedList<std::shared_ptr<clsParentWindow>>;
using IMWindowList = OneBasedList<std::shared_ptr<clsIMWindow>>;

}  // namespace murmuro
