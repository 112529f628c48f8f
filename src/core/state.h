#pragma once
// The program-wide state: one object, owned by the program's entry and handed to the forms.
#include <cstdint>
#include <memory>

#include "base/one_based_list.h"
#include "base/switch_count.h"
#include "base/text.h"
#include "base/window_records.h"
#include "platform/voice.h"

namespace murmuro {

// Acronym records as stored: the name, a comma, the meaning.
using AcronymList = OneBasedList<Text>;

struct ProgramState {
  std::shared_ptr<platform::Voice> Voice;
  ParentWindowList ParentWindows;
  IMWindowList IMWindows;
  // Views that left the list while their window lived; forgotten once the window is gone.
  LeftViewList LeftViews;
  // The first scan has been made: views found from then on are new conversations.
  bool Scanned = false;
  AcronymList Acronyms;
  // Greater than 0 means on.
  std::int16_t UseReader = 0;
  // How often reading was switched on: a capture that began before the last time may hold lines
  // that came while it was off, which are skipped for good. Shared with whatever captures.
  std::shared_ptr<SwitchCount> ReadingSwitchedOn = std::make_shared<SwitchCount>(0);
  std::int16_t TopOnly = 0;
};

}  // namespace murmuro
