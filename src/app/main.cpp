// murmuro.exe: reads instant-message conversations aloud from the notification area.
#include <windows.h>

#include "app/program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return murmuro::app::RunProgram(instance);
}
