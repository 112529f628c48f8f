#pragma once
// The options dialog's controls as the window draws them: positions and sizes in twips from
// the client area's top left corner (15 twips a pixel at 96 dots per inch).
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "base/text.h"

namespace murmuro {

inline constexpr std::int32_t kOptionsClientTwips = 7500;  // square client area
inline constexpr TextView kOptionsFontFace = u"Verdana";
inline constexpr double kOptionsFontPoints = 8.25;
// The list box has no label of its own, so screen readers are told its name.
inline constexpr TextView kOptionsListName = u"Acronyms";

enum class OptionsControlKind { CheckBox, ListBox, Label, TextBox, Button };

// Which control of the model a window control stands for.
enum class OptionsControlRole {
  TopOnlyCheck, AcronymList, NameLabel, MeaningLabel, NameBox, MeaningBox,
  NewButton, SaveButton, RemoveButton, DoneButton
};

struct OptionsControl {
  OptionsControlRole Role;
  OptionsControlKind Kind;
  TextView Caption;
  std::int32_t Left, Top, Width, Height;
  std::int32_t TabOrder;
};

inline constexpr std::array<OptionsControl, 10> kOptionsControls = {{
    {OptionsControlRole::TopOnlyCheck, OptionsControlKind::CheckBox,
     u"Speak Active IM Window Messages Only", 3555, 255, 3810, 330, 0},
    {OptionsControlRole::AcronymList, OptionsControlKind::ListBox, u"", 150, 210, 2985, 7050, 1},
    {OptionsControlRole::NameLabel, OptionsControlKind::Label,
     u"Acronym Name:", 3570, 900, 2460, 225, 2},
    {OptionsControlRole::MeaningLabel, OptionsControlKind::Label,
     u"Acronym Meaning:", 3570, 1590, 2460, 225, 3},
    {OptionsControlRole::NameBox, OptionsControlKind::TextBox, u"", 3570, 1155, 3435, 315, 4},
    {OptionsControlRole::MeaningBox, OptionsControlKind::TextBox, u"", 3570, 1845, 3435, 315, 5},
    {OptionsControlRole::NewButton, OptionsControlKind::Button, u"New", 3465, 2250, 1200, 390, 6},
    {OptionsControlRole::SaveButton, OptionsControlKind::Button, u"Save", 4680, 2250, 1200, 390, 7},
    {OptionsControlRole::RemoveButton, OptionsControlKind::Button,
     u"Remove", 5895, 2250, 1200, 390, 9},
    {OptionsControlRole::DoneButton, OptionsControlKind::Button, u"Done", 5475, 6960, 1725, 405, 8},
}};

// The box a label names; the control itself for anything that is not a label.
constexpr OptionsControlRole NamedControl(OptionsControlRole role) noexcept {
  switch (role) {
    case OptionsControlRole::NameLabel: return OptionsControlRole::NameBox;
    case OptionsControlRole::MeaningLabel: return OptionsControlRole::MeaningBox;
    default: return role;
  }
}

// The controls as sibling windows, as indexes into kOptionsControls. Tab visits the controls that
// take focus in this order, so it follows their tab order; a label takes no focus and stands
// directly before the box it names, because screen readers name a box after the label before it.
constexpr std::array<std::size_t, kOptionsControls.size()> OptionsWindowOrder() noexcept {
  const auto key = [](const OptionsControl& c) {
    for (const OptionsControl& named : kOptionsControls) {
      if (c.Role != named.Role && NamedControl(c.Role) == named.Role) return 2 * named.TabOrder - 1;
    }
    return 2 * c.TabOrder;
  };
  std::array<std::size_t, kOptionsControls.size()> order{};
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return key(kOptionsControls[a]) < key(kOptionsControls[b]); });
  return order;
}

}  // namespace murmuro
