// Quillmark.exe: the Windows program. Drawings and folders named on its
// command line ("Send to", a drop on its icon) are listed; when a Quillmark
// window runs already they are handed to it instead.
#include <windows.h>
#include <objbase.h>

#include "app_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  const auto paths = qm::win::CommandLinePaths();
  if (!paths.empty() && qm::win::HandToRunningWindow(paths)) return 0;
  // The folder dialog's newer form needs COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int status = 1;
  {
    qm::win::TQuillmark app;
    if (app.Start(qm::win::ExecutablePath(), showCommand, paths)) status = app.Run();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}
