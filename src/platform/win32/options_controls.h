#pragma once
// The options dialog's controls as Win32 windows: their ids, and the design's twips turned into
// pixels for the screen's dots per inch, in window order.
#include <windows.h>

#include <array>
#include <cstddef>

#include "base/text.h"

namespace murmuro::win32 {

// Control ids. 1 and 2 stay free: they are IDOK and IDCANCEL, which the dialog manager sends for
// Enter and Escape.
inline constexpr int kIdTopOnly = 100;
inline constexpr int kIdAcronyms = 101;
inline constexpr int kIdTitleName = 110;
inline constexpr int kIdTitleMeaning = 111;
inline constexpr int kIdName = 120;
inline constexpr int kIdMeaning = 121;
inline constexpr int kIdAcroOps = 130;  // + the button's index: New 0, Save 1, Remove 2
inline constexpr int kIdDone = 140;

inline constexpr std::size_t kOptionsControlCount = 10;

enum class ControlKind { CheckBox, ListBox, Label, TextBox, Button };

struct PlacedControl {
  int Id = 0;
  ControlKind Kind = ControlKind::Label;
  TextView Caption;
  RECT Rect{};  // client coordinates
};

// Twips to pixels at `dpi`, rounded to the nearest pixel.
inline int TwipsToPixels(int twips, int dpi) noexcept { return ::MulDiv(twips, dpi, 1440); }

// The controls in window order (OptionsWindowOrder), placed for the DPI.
std::array<PlacedControl, kOptionsControlCount> PlaceControls(int dpiX, int dpiY) noexcept;

// The side of the square client area in pixels.
int OptionsClientPixels(int dpi) noexcept;

// The dialog's font for the DPI: face, height (negative: the character height) and weight.
LOGFONTW OptionsFont(int dpiY) noexcept;

}  // namespace murmuro::win32
