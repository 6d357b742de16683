#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <iostream>
#include <streambuf>
#include <string>

#include "console.h"

namespace qm {

namespace {

HANDLE StdHandle(TStdStream stream) {
  return GetStdHandle(stream == TStdStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool HandleIsConsole(HANDLE h) {
  DWORD mode = 0;
  return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

void WriteConsoleText(HANDLE h, std::wstring_view text) {
  while (!text.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size(), 8192));
    if (!WriteConsoleW(h, text.data(), chunk, &written, nullptr) || written == 0) return;
    text.remove_prefix(written);
  }
}

// The length of the longest prefix that does not end inside a UTF-8 sequence.
size_t WholeUtf8(const std::string& s) {
  size_t end = s.size();
  for (size_t back = 1; back <= 3 && back <= s.size(); ++back) {
    const auto b = static_cast<unsigned char>(s[s.size() - back]);
    if ((b & 0xC0) == 0x80) continue;  // continuation byte: look further back
    const size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (need > back) end = s.size() - back;
    break;
  }
  return end;
}

// A stream buffer over a standard handle: wide console writes on a console,
// the bytes as they are on a file or pipe.
class TConsoleBuf : public std::streambuf {
 public:
  explicit TConsoleBuf(HANDLE h) : Handle_(h), Console_(HandleIsConsole(h)) {}
  ~TConsoleBuf() override { Flush(true); }

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      Pending_.push_back(traits_type::to_char_type(c));
      if (Pending_.size() >= 4096) Flush(false);
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    Pending_.append(s, static_cast<size_t>(n));
    if (Pending_.size() >= 4096) Flush(false);
    return n;
  }
  int sync() override { return Flush(true) ? 0 : -1; }

 private:
  bool Flush(bool all) {
    if (Pending_.empty() || Handle_ == nullptr || Handle_ == INVALID_HANDLE_VALUE) {
      Pending_.clear();
      return true;
    }
    if (Console_) {
      const size_t n = all ? Pending_.size() : WholeUtf8(Pending_);
      WriteConsoleText(Handle_, Widen(std::string_view(Pending_).substr(0, n)));
      Pending_.erase(0, n);
      return true;
    }
    std::string_view rest(Pending_);
    bool ok = true;
    while (!rest.empty()) {
      DWORD written = 0;
      if (!WriteFile(Handle_, rest.data(), static_cast<DWORD>(rest.size()), &written, nullptr) || written == 0) {
        ok = false;
        break;
      }
      rest.remove_prefix(written);
    }
    Pending_.clear();
    return ok;
  }

  HANDLE Handle_;
  bool Console_;
  std::string Pending_;
};

TConsoleBuf* g_Out = nullptr;
TConsoleBuf* g_Err = nullptr;
std::streambuf* g_OldOut = nullptr;
std::streambuf* g_OldErr = nullptr;

}  // namespace

TConsoleScope::TConsoleScope() {
  g_Out = new TConsoleBuf(StdHandle(TStdStream::Out));
  g_Err = new TConsoleBuf(StdHandle(TStdStream::Err));
  g_OldOut = std::cout.rdbuf(g_Out);
  g_OldErr = std::cerr.rdbuf(g_Err);
}

TConsoleScope::~TConsoleScope() {
  std::cout.flush();
  std::cerr.flush();
  std::cout.rdbuf(g_OldOut);
  std::cerr.rdbuf(g_OldErr);
  delete g_Out;
  delete g_Err;
  g_Out = g_Err = nullptr;
}

bool IsConsole(TStdStream stream) noexcept { return HandleIsConsole(StdHandle(stream)); }

TProgressLine::TProgressLine() : Active_(IsConsole(TStdStream::Err)) {}
TProgressLine::~TProgressLine() { Clear(); }

namespace {

// Blanks the console rows from row to the cursor's row and puts the cursor at
// the start of row.
void BlankFrom(HANDLE h, short row) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(h, &info)) return;
  if (row > info.dwCursorPosition.Y) row = info.dwCursorPosition.Y;
  const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwCursorPosition.Y - row + 1);
  DWORD done = 0;
  const COORD start{0, row};
  FillConsoleOutputCharacterW(h, L' ', cells, start, &done);
  FillConsoleOutputAttribute(h, info.wAttributes, cells, start, &done);
  SetConsoleCursorPosition(h, start);
}

// As much of the text as fits in columns console cells (East Asian wide
// characters take two).
std::wstring Fit(std::wstring text, int columns) {
  int used = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    const int w = (c >= 0x1100 && !(c >= 0xFF61 && c <= 0xFF9F)) ? 2 : 1;
    if (used + w > columns) {
      text.resize(i);
      break;
    }
    used += w;
  }
  return text;
}

}  // namespace

void TProgressLine::Show(std::string_view utf8) {
  if (!Active_) return;
  std::cerr.flush();
  HANDLE h = StdHandle(TStdStream::Err);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(h, &info)) return;
  if (Shown_) {
    BlankFrom(h, Row_);
  } else {
    Row_ = info.dwCursorPosition.Y;
  }
  WriteConsoleText(h, Fit(Widen(utf8), info.dwSize.X - 1));
  Shown_ = true;
}

void TProgressLine::Clear() {
  if (!Active_ || !Shown_) return;
  BlankFrom(StdHandle(TStdStream::Err), Row_);
  Shown_ = false;
}

}  // namespace qm
#endif
