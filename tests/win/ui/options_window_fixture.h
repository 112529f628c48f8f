#pragma once
// The options window over the real dialog model, as the program wires them, with the user's
// actions played through the controls' own messages.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/win32/options_window.h"
#include "ui/options_dialog.h"
#include "win/ui/ui_test_support.h"

namespace murmuro::wintest {

// Names the window gives its controls; answers each with `answer`.
struct RecordingNamer final : win32::ControlNamer {
  HRESULT Name(HWND control, const wchar_t* name) noexcept override {
    named.emplace_back(control, name);
    return answer;
  }
  void Forget(HWND control) noexcept override { forgotten.push_back(control); }

  HRESULT answer = S_OK;
  std::vector<std::pair<HWND, std::wstring>> named;
  std::vector<HWND> forgotten;
};

class OptionsWindowTest : public ::testing::Test {
 protected:
  explicit OptionsWindowTest(int dpi = 96) : view(::GetModuleHandleW(nullptr), icon.get(), smallIcon.get(), dpi) {
    state.Acronyms = {u"afk,away from keyboard", u"brb,be right back", u"lol,laughing out loud"};
    view.Attach(dialog);
  }

  void Open(std::int16_t topOnly = 0) {
    state.TopOnly = topOnly;
    dialog.Show();
    Pump();
  }

  // Wires the view to the model again, logging every event on the way.
  void Record() {
    view.SetEvents(win32::OptionsEvents{
        [this](Text t) { log.push_back("name " + TextToLatin1(t)); dialog.SetName(std::move(t)); },
        [this](Text t) { log.push_back("meaning " + TextToLatin1(t)); dialog.SetMeaning(std::move(t)); },
        [this](std::int16_t v) { log.push_back("check " + std::to_string(v)); dialog.SetCheck(v); },
        [this](std::int32_t r) { log.push_back("row " + std::to_string(r)); dialog.lstAcro_Click(r); },
        [this](std::int16_t i) { log.push_back("ops " + std::to_string(i)); dialog.cAcroOps_Click(i); },
        [this] { log.push_back("done"); dialog.cDone_Click(); },
        [this] { log.push_back("closed"); dialog.Unload(); },
    });
  }

  HWND Item(int id) const { return ::GetDlgItem(view.Window(), id); }
  Text ItemText(int id) const { return WindowText(Item(id)); }
  LRESULT Check() const { return ::SendMessageW(Item(win32::kIdTopOnly), BM_GETCHECK, 0, 0); }
  LRESULT Selected() const { return ::SendMessageW(Item(win32::kIdAcronyms), LB_GETCURSEL, 0, 0); }
  LRESULT RowCount() const { return ::SendMessageW(Item(win32::kIdAcronyms), LB_GETCOUNT, 0, 0); }

  Text Row(int row) const {
    HWND list = Item(win32::kIdAcronyms);
    const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (length < 0) return u"<none>";
    Text text(static_cast<std::size_t>(length) + 1, u'\0');
    ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
  }

  void Click(int id) {
    ::SendMessageW(Item(id), BM_CLICK, 0, 0);
    Pump();
  }

  // A mouse click in the middle of the row.
  void ClickRow(int row) {
    HWND list = Item(win32::kIdAcronyms);
    RECT r{};
    ::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(list, WM_LBUTTONUP, 0, at);
    Pump();
  }

  // Replaces the box's text by typing `text` over a full selection.
  void Type(int id, std::u16string_view text) {
    HWND box = Item(id);
    ::SetFocus(box);
    ::SendMessageW(box, EM_SETSEL, 0, -1);
    ::SendMessageW(box, WM_CHAR, VK_BACK, 1);
    for (char16_t c : text) ::SendMessageW(box, WM_CHAR, c, 1);
    Pump();
  }

  // A key press as the program's message loop hands it over; true when the dialog took it.
  bool Key(WPARAM key) {
    MSG down{::GetFocus(), WM_KEYDOWN, key, 1, 0, {}};
    const bool taken = view.PreTranslate(down);
    if (!taken) {
      ::TranslateMessage(&down);
      ::DispatchMessageW(&down);
    }
    MSG up{::GetFocus(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u), 0, {}};
    if (!view.PreTranslate(up)) ::DispatchMessageW(&up);
    Pump([this](MSG& m) { return view.PreTranslate(m); });
    return taken;
  }

  win32::UniqueIcon icon = ProgramIcon(32);
  win32::UniqueIcon smallIcon = ProgramIcon(16);
  RecordingNamer names;  // outlives the window
  win32::OptionsWindow view;
  ProgramState state;
  int saves = 0;
  fOps dialog{state, view, [this] { ++saves; }};
  std::vector<std::string> log;
};

}  // namespace murmuro::wintest
