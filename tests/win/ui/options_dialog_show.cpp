// Shows the options dialog over sample acronyms with a row loaded, writes where it stands (and
// the X display it is on) to the file named by the first argument, and keeps it open until the
// file named by the second argument exists. The screenshot test photographs it meanwhile.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/win32/options_window.h"
#include "ui/options_dialog.h"
#include "win/ui/ui_test_support.h"

int main(int argc, char** argv) {
  using namespace murmuro;
  if (argc != 3) {
    std::fprintf(stderr, "usage: murmuro_options_dialog_show <rect file> <done file>\n");
    return 2;
  }
  const auto icon = wintest::ProgramIcon(32);
  const auto smallIcon = wintest::ProgramIcon(16);
  win32::OptionsWindow view(::GetModuleHandleW(nullptr), icon.get(), smallIcon.get());
  ProgramState state;
  state.Acronyms = {u"afk,away from keyboard", u"brb,be right back", u"lol,laughing out loud",
                    u"omg,oh my god", u"ttyl,talk to you later"};
  state.TopOnly = 1;
  fOps dialog(state, view, [] {});
  view.Attach(dialog);
  dialog.Show();
  dialog.lstAcro_Click(1);
  if (!view.Window()) return 1;

  // Let it draw before anyone looks.
  const DWORD shown = ::GetTickCount();
  while (::GetTickCount() - shown < 500) {
    wintest::Pump([&](MSG& m) { return view.PreTranslate(m); });
    ::Sleep(20);
  }
  RECT r{};
  ::GetWindowRect(view.Window(), &r);
  char display[128] = {};
  ::GetEnvironmentVariableA("DISPLAY", display, sizeof display);
  {
    std::ofstream out(argv[1], std::ios::binary);
    out << r.left << ' ' << r.top << ' ' << r.right << ' ' << r.bottom << ' ' << display << '\n';
  }
  for (int waited = 0; waited < 60000; waited += 50) {
    if (::GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES) return 0;
    wintest::Pump([&](MSG& m) { return view.PreTranslate(m); });
    ::Sleep(50);
  }
  std::fprintf(stderr, "nobody took the picture\n");
  return 1;
}
