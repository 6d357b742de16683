// The command line's standard output and error as text. Text is UTF-8 inside
// the program. A Windows console is written with wide characters, whatever
// its code page (which stays as it was); a redirected stream and a POSIX
// terminal get the bytes unchanged.
#pragma once

#include <string>
#include <string_view>

namespace qm {

enum class TStdStream { Out, Err };

// Routes std::cout and std::cerr through console-aware buffers for the
// lifetime of the object (on Windows; elsewhere it changes nothing).
class TConsoleScope {
 public:
  TConsoleScope();
  ~TConsoleScope();
  TConsoleScope(const TConsoleScope&) = delete;
  TConsoleScope& operator=(const TConsoleScope&) = delete;
};

// True when the stream is an interactive terminal or console.
bool IsConsole(TStdStream stream) noexcept;

// One line of progress on standard error that each Show replaces and Clear
// removes; drawn only when standard error is a console. On Windows it is
// drawn with console calls, never with escape sequences.
class TProgressLine {
 public:
  TProgressLine();
  ~TProgressLine();
  TProgressLine(const TProgressLine&) = delete;
  TProgressLine& operator=(const TProgressLine&) = delete;
  bool Active() const noexcept { return Active_; }
  void Show(std::string_view utf8);
  void Clear();

 private:
  bool Active_ = false;
  bool Shown_ = false;
  short Row_ = 0;  // where the line starts (Windows console)
};

}  // namespace qm
