// Quillmark.exe: the Windows program.
#include <windows.h>

#include "app_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  qm::win::TQuillmark app;
  if (!app.Start(qm::win::ExecutablePath(), showCommand)) return 1;
  return app.Run();
}
