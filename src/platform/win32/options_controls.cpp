#include "platform/win32/options_controls.h"

#include <algorithm>
#include <cmath>

#include "platform/options_layout.h"

namespace murmuro::win32 {
namespace {

static_assert(kOptionsControls.size() == kOptionsControlCount);

int IdOf(OptionsControlRole role) noexcept {
  switch (role) {
    case OptionsControlRole::TopOnlyCheck: return kIdTopOnly;
    case OptionsControlRole::AcronymList: return kIdAcronyms;
    case OptionsControlRole::NameLabel: return kIdTitleName;
    case OptionsControlRole::MeaningLabel: return kIdTitleMeaning;
    case OptionsControlRole::NameBox: return kIdName;
    case OptionsControlRole::MeaningBox: return kIdMeaning;
    case OptionsControlRole::NewButton: return kIdAcroOps + 0;
    case OptionsControlRole::SaveButton: return kIdAcroOps + 1;
    case OptionsControlRole::RemoveButton: return kIdAcroOps + 2;
    case OptionsControlRole::DoneButton: return kIdDone;
  }
  return 0;
}

ControlKind KindOf(OptionsControlKind kind) noexcept {
  switch (kind) {
    case OptionsControlKind::CheckBox: return ControlKind::CheckBox;
    case OptionsControlKind::ListBox: return ControlKind::ListBox;
    case OptionsControlKind::Label: return ControlKind::Label;
    case OptionsControlKind::TextBox: return ControlKind::TextBox;
    case OptionsControlKind::Button: return ControlKind::Button;
  }
  return ControlKind::Label;
}

}  // namespace

std::array<PlacedControl, kOptionsControlCount> PlaceControls(int dpiX, int dpiY) noexcept {
  constexpr auto order = OptionsWindowOrder();
  std::array<PlacedControl, kOptionsControlCount> placed{};
  for (std::size_t i = 0; i < order.size(); ++i) {
    const OptionsControl& c = kOptionsControls[order[i]];
    const int left = TwipsToPixels(c.Left, dpiX);
    const int top = TwipsToPixels(c.Top, dpiY);
    placed[i] = {IdOf(c.Role), KindOf(c.Kind), c.Caption,
                 RECT{left, top, left + TwipsToPixels(c.Width, dpiX), top + TwipsToPixels(c.Height, dpiY)}};
  }
  return placed;
}

int OptionsClientPixels(int dpi) noexcept { return TwipsToPixels(kOptionsClientTwips, dpi); }

LOGFONTW OptionsFont(int dpiY) noexcept {
  LOGFONTW lf{};
  lf.lfHeight = -static_cast<LONG>(std::lround(kOptionsFontPoints * dpiY / 72.0));
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
  const std::size_t face = std::min(kOptionsFontFace.size(), std::size(lf.lfFaceName) - 1);
  std::copy_n(kOptionsFontFace.begin(), face, lf.lfFaceName);
  return lf;
}

}  // namespace murmuro::win32
