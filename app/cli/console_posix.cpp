#ifndef _WIN32
#include <unistd.h>

#include <cstdio>
#include <string>

#include "console.h"

namespace qm {

TConsoleScope::TConsoleScope() = default;
TConsoleScope::~TConsoleScope() = default;

bool IsConsole(TStdStream stream) noexcept { return isatty(stream == TStdStream::Out ? 1 : 2) != 0; }

TProgressLine::TProgressLine() : Active_(IsConsole(TStdStream::Err)) {}
TProgressLine::~TProgressLine() { Clear(); }

void TProgressLine::Show(std::string_view utf8) {
  if (!Active_) return;
  std::fputs("\r\x1b[K", stderr);
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
  Shown_ = true;
}

void TProgressLine::Clear() {
  if (!Active_ || !Shown_) return;
  std::fputs("\r\x1b[K", stderr);
  std::fflush(stderr);
  Shown_ = false;
}

}  // namespace qm
#endif
