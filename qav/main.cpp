// qav: the entry point. Everything else lives in qavapp.
#include <windows.h>

#include "mdlMain.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  return qav::app::Main(instance, show);
}
