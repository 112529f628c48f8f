#pragma once
// The two records a scan produces; shared by reference so a tick keeps its entry across a rescan.
// They sit below the program state and the scan, which both hold them.
#include <cstdint>
#include <memory>
#include <vector>

#include "base/one_based_list.h"
#include "base/text.h"

namespace murmuro {

// One conversation window of the last scan.
class clsParentWindow {
 public:
  Hwnd hwnd = 0;
  Text WindowName;
};

// One conversation view and its last known text. The view is known by its handle and the thread
// and process that own it, not by the conversation window it stands in: a client may move it.
class clsIMWindow {
 public:
  Hwnd ParenthWnd = 0;
  Hwnd hwnd = 0;
  Text IMText = Text(kCrLf);
  std::uint32_t Thread = 0;
  std::uint32_t Process = 0;
  enum class Start : std::uint8_t {
    // IMText is what the view showed at its last capture.
    kKnown,
    // Found by the first scan and not answered yet: its first text is taken silently, since what
    // a conversation held when the program started is history.
    kUnprimed,
    // Found after the first scan, or answered at start-up with no conversation yet: its first
    // capture that holds a line speaks the last line, the message that most likely opened the
    // conversation, and nothing before it.
    kNew,
  };
  Start State = Start::kUnprimed;
};

// A view that left the list while its window lived (its conversation window failed one scan, or
// its client was busy): it resumes from here when it is found again.
struct LeftView {
  Hwnd hwnd = 0;
  std::uint32_t Thread = 0;  // with the process, so a reused handle is not taken for it
  std::uint32_t Process = 0;
  Text IMText;
  clsIMWindow::Start State = clsIMWindow::Start::kUnprimed;
};

using ParentWindowList = OneBasedList<std::shared_ptr<clsParentWindow>>;
using IMWindowList = OneBasedList<std::shared_ptr<clsIMWindow>>;
using LeftViewList = std::vector<LeftView>;

}  // namespace murmuro
