#ifdef _WIN32
#include <windows.h>

#include "textconv.h"

namespace qm {

namespace {

constexpr UINT ShiftJis = 932;

std::wstring Widen(UINT codePage, std::string_view text, DWORD flags, bool* ok = nullptr) {
  if (ok) *ok = true;
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) {
    if (ok) *ok = false;
    return {};
  }
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string Narrow(UINT codePage, std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

std::string SjisToUtf8(std::string_view sjis) { return Narrow(CP_UTF8, Widen(ShiftJis, sjis, 0)); }

std::string Utf8ToSjis(std::string_view utf8) { return Narrow(ShiftJis, Widen(CP_UTF8, utf8, 0)); }

std::optional<std::filesystem::path> PathFromSjis(std::string_view sjis) {
  bool ok = false;
  std::wstring wide = Widen(ShiftJis, sjis, MB_ERR_INVALID_CHARS, &ok);
  if (!ok) return std::nullopt;
  return std::filesystem::path(wide);
}

std::optional<std::u16string> SjisToUtf16(std::string_view sjis) {
  bool ok = false;
  const std::wstring wide = Widen(ShiftJis, sjis, MB_ERR_INVALID_CHARS, &ok);
  if (!ok) return std::nullopt;
  return std::u16string(wide.begin(), wide.end());
}

std::optional<std::string> Utf16ToSjis(std::u16string_view units) {
  if (units.empty()) return std::string();
  const std::wstring wide(units.begin(), units.end());
  // No best-fit look-alikes, and any character without a Shift-JIS form
  // (which would become the default character) makes the whole text fail.
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(ShiftJis, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(ShiftJis, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                      nullptr, &usedDefault);
  if (usedDefault) return std::nullopt;
  return out;
}

std::string PathToUtf8(const std::filesystem::path& path) { return Narrow(CP_UTF8, path.native()); }

std::filesystem::path PathFromUtf8(std::string_view utf8) { return std::filesystem::path(Widen(CP_UTF8, utf8, 0)); }

}  // namespace qm
#endif
