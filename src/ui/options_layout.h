#pragma once
// The options dialog's controls as the window draws them: positions and sizes in twips from
// the client area's top left corner (15 twips a pixel at 96 dots per inch).
#include <array>
#include <cstdint>

#include "base/text.h"

namespace murmuro {

inline constexpr std::int32_t kOptionsClientTwips = 7500;  // square client area
inline constexpr TextView kOptionsFontFace = u"Verdana";
inline constexpr double kOptionsFontPoints = 8.25;

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

}  // namespace murmuro
