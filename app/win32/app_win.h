// The program as a whole: the result window's logic and window, the main
// window, and the message loop. Quillmark.exe runs one; the window tests run
// several in turn.
#pragma once

#include <filesystem>
#include <vector>

#include "Unit1_win.h"
#include "Unit2_win.h"

namespace qm::win {

class TQuillmark {
 public:
  TQuillmark();
  TQuillmark(const TQuillmark&) = delete;
  TQuillmark& operator=(const TQuillmark&) = delete;

  // Creates the main window and then the hidden result window, runs
  // FormShow for the given executable (its folder holds the settings file and
  // the work folder), shows the main window and lists the drawings and
  // folders of paths. False when a window cannot be created.
  bool Start(const std::filesystem::path& executable, int showCommand,
             const std::vector<std::filesystem::path>& paths = {});
  // The message loop, until the main window has closed; the exit code.
  int Run();

  TMainWindow& MainWindow() noexcept { return MainWindow_; }
  TResultWindow& ResultWindow() noexcept { return ResultWindow_; }
  TForm1& Form1() noexcept { return MainWindow_.Form1(); }
  TForm2& Form2() noexcept { return Form2_; }

 private:
  TResultWindow ResultWindow_;
  TForm2 Form2_;
  TMainWindow MainWindow_;
};

// The full path of the running executable.
std::filesystem::path ExecutablePath();
// True when the executable runs from the folder the installer recorded
// (HKCU\Software\Quillmark, InstallFolder): its settings and work folder
// are then the user's, not its folder's.
bool IsInstalledCopy(const std::filesystem::path& executable);

// One Quillmark window a user session: a start holds this lock while it
// looks for a running window and, finding none, until it has made its own.
// A start that finds a window hands its drawings over and ends, so that the
// starts Explorer makes at once for several selected files end in one
// window.
class TInstanceLock {
 public:
  TInstanceLock();  // waits for the lock
  ~TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;
  // Lets the next start go on (once the window exists).
  void Release() noexcept;

 private:
  void* Mutex_ = nullptr;
  bool Held_ = false;
};
// The paths named on the program's command line.
std::vector<std::filesystem::path> CommandLinePaths();

}  // namespace qm::win
