#pragma once
// The options dialog as a real window: a fixed dialog frame with the standard controls, modeless
// and without an owner. It shows what the dialog's model hands it and reports the user's edits
// and clicks back; drawing the model's content never counts as an edit.
#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/options_view.h"
#include "platform/win32/control_names.h"
#include "platform/win32/handles.h"
#include "platform/win32/options_controls.h"

namespace murmuro::win32 {

struct FontTraits {
  using Type = HFONT;
  static Type Empty() noexcept { return nullptr; }
  static void Free(Type h) noexcept { ::DeleteObject(h); }
};
using UniqueFont = UniqueHandle<FontTraits>;

// What the user did, in the model's terms. Unset entries are ignored.
struct OptionsEvents {
  std::function<void(Text)> NameChanged;        // typing in the name box
  std::function<void(Text)> MeaningChanged;     // typing in the meaning box
  std::function<void(std::int16_t)> CheckChanged;  // the check box's new value, 0 or 1
  std::function<void(std::int32_t)> RowSelected;   // the selected row from 0, -1 for none
  std::function<void(std::int16_t)> AcroOpsClicked;  // New 0, Save 1, Remove 2
  std::function<void()> DoneClicked;
  // The close box: the window goes without Done. Without this handler it just unloads.
  std::function<void()> Closed;
};

class OptionsWindow final : public platform::OptionsView {
 public:
  // `icon` (32 x 32) and `smallIcon` (caption, may be null) stay owned by the caller and must
  // outlive the window. `dpi` 0 lays out for the DPI the new window is drawn at; another value
  // for that DPI. Either way the window follows WM_DPICHANGED.
  OptionsWindow(HINSTANCE instance, HICON icon, HICON smallIcon = nullptr, int dpi = 0) noexcept;
  ~OptionsWindow() override;
  OptionsWindow(const OptionsWindow&) = delete;
  OptionsWindow& operator=(const OptionsWindow&) = delete;

  void SetEvents(OptionsEvents events) { events_ = std::move(events); }
  // Names the list box for screen readers (its default is the accessibility runtime). `namer`
  // must outlive the window.
  void SetNamer(ControlNamer& namer) noexcept { namer_ = &namer; }

  // Connects the window to the dialog's model (fOps): edits, clicks and the close box go to its
  // SetName, SetMeaning, SetCheck, lstAcro_Click, cAcroOps_Click, cDone_Click and Unload.
  template <class Model>
  void Attach(Model& model) {
    SetEvents(OptionsEvents{
        [&model](Text t) { model.SetName(std::move(t)); },
        [&model](Text t) { model.SetMeaning(std::move(t)); },
        [&model](std::int16_t v) { model.SetCheck(v); },
        [&model](std::int32_t row) { model.lstAcro_Click(row); },
        [&model](std::int16_t index) { model.cAcroOps_Click(index); },
        [&model] { model.cDone_Click(); },
        [&model] { model.Unload(); },
    });
  }

  // platform::OptionsView. Show creates the window (centred in the work area of the mouse's
  // monitor) when there is none and brings it to the front; throws std::system_error when it
  // cannot be made.
  void Show(const platform::OptionsContent& content) override;
  void Render(const platform::OptionsContent& content) override;
  void Unload() override;
  // Modal to the dialog, so nothing in it can be clicked until the user has read it.
  void ShowError(const std::string& message) override;

  // For the message loop: Tab, Shift+Tab, Space and the arrows inside the dialog. True when the
  // message was the dialog's and has been handled (do not dispatch it again).
  bool PreTranslate(MSG& message) noexcept;

  HWND Window() const noexcept { return window_.get(); }
  // The control with `id` (kId...), or null while the window does not exist.
  HWND Control(int id) const noexcept;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Create();
  void CreateControls();
  void FitClientArea();
  void PlaceCentred();
  void OnDpiChanged(int dpiX, int dpiY, const RECT* suggested);
  void OnCommand(int id, int code);
  void OnCheckClicked();
  void OnActivate(bool active);
  void SetText(int id, const Text& text);
  Text GetText(int id) const;

  HINSTANCE instance_;
  HICON icon_;
  HICON smallIcon_;
  bool followDpi_;  // no DPI given: each new window takes its own
  int dpiX_;
  int dpiY_;
  OptionsEvents events_;
  AccPropNamer accPropNamer_;
  ControlNamer* namer_ = &accPropNamer_;
  UniqueFont font_;  // outlives the window that draws with it
  int fontDpi_ = 0;
  std::array<PlacedControl, kOptionsControlCount> placed_;  // window order
  std::array<HWND, kOptionsControlCount> controls_{};
  std::vector<Text> rows_;  // what the list box holds
  HWND lastFocus_ = nullptr;
  bool rendering_ = false;
  UniqueHwnd window_;
};

}  // namespace murmuro::win32
