// Quillmark.exe: the Windows program. Drawings and folders named on its
// command line ("Send to", Explorer's verb, a drop on its icon) are listed;
// when a Quillmark window runs already they are handed to it instead, and a
// start with nothing to hand over brings that window forward.
#include <windows.h>
#include <objbase.h>

#include "app_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  const auto paths = qm::win::CommandLinePaths();
  // Held from the look for a running window until this start's own window
  // exists: starts made at once (one per file Explorer hands over) find
  // the first one's window, never make several.
  qm::win::TInstanceLock lock;
  if (qm::win::HandToRunningWindow(paths)) return 0;
  // The folder dialog's newer form needs COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int status = 1;
  {
    qm::win::TQuillmark app;
    const bool started = app.Start(qm::win::ExecutablePath(), showCommand, paths);
    lock.Release();
    if (started) status = app.Run();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}
