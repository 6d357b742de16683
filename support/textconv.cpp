#include "textconv.h"

#include <cstdio>

namespace qm {

size_t Utf8SequenceLength(std::string_view s) noexcept {
  if (s.empty()) return 0;
  const auto b0 = static_cast<unsigned char>(s[0]);
  if (b0 < 0x80) return 1;
  size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < (i == 1 ? low : 0x80) || b > (i == 1 ? high : 0xBF)) return 0;
  }
  return n;
}

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  auto escape = [&out](const char* form, unsigned value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, form, value);
    out += buf;
  };
  while (!text.empty()) {
    const size_t n = Utf8SequenceLength(text);
    const auto b = static_cast<unsigned char>(text[0]);
    if (n == 0) {
      escape("\\x%02x", b);
      text.remove_prefix(1);
      continue;
    }
    uint32_t cp = n == 1 ? b : n == 2 ? (b & 0x1Fu) : n == 3 ? (b & 0x0Fu) : (b & 0x07u);
    for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[k]) & 0x3Fu);
    if (cp < 0x20 || cp == 0x7F)
      escape("\\x%02x", cp);
    else if ((cp >= 0x80 && cp <= 0x9F) || (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069))
      escape("\\u%04x", cp);
    else
      out.append(text.substr(0, n));
    text.remove_prefix(n);
  }
  return out;
}

bool IsValidUtf8(std::string_view text) noexcept {
  size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    size_t n;
    uint32_t cp;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      n = 1;
      cp = b & 0x1Fu;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 2;
      cp = b & 0x0Fu;
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 3;
      cp = b & 0x07u;
    } else {
      return false;
    }
    for (size_t k = 1; k <= n; ++k) {
      if (i + k >= text.size()) return false;
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3Fu);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += n + 1;
  }
  return true;
}

}  // namespace qm

namespace qm {

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes UTF-16; an unpaired surrogate gives U+FFFD, or stops the conversion
// (false) when strict.
bool Utf16ToUtf8Into(std::u16string_view units, std::string& out, bool strict) {
  out.reserve(out.size() + units.size() * 3);
  for (size_t i = 0; i < units.size(); ++i) {
    const uint32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (static_cast<uint32_t>(units[i + 1]) - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      if (strict) return false;
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, u);
    }
  }
  return true;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out;
  Utf16ToUtf8Into(units, out, false);
  return out;
}

std::optional<std::string> Utf16ToUtf8Strict(std::u16string_view units) {
  std::string out;
  if (!Utf16ToUtf8Into(units, out, true)) return std::nullopt;
  return out;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8) {
  if (!IsValidUtf8(utf8)) return std::nullopt;
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const size_t n = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
    uint32_t cp = n == 0 ? b : n == 1 ? (b & 0x1Fu) : n == 2 ? (b & 0x0Fu) : (b & 0x07u);
    for (size_t k = 1; k <= n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
    i += n + 1;
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::u16string PathToUtf16(const std::filesystem::path& path) {
#ifdef _WIN32
  return std::u16string(path.native().begin(), path.native().end());
#else
  // File names on this system are bytes; those that are not UTF-8 keep their
  // bytes as units of their own, so that distinct names stay distinct.
  const std::string& bytes = path.native();
  if (auto units = Utf8ToUtf16(bytes)) return *units;
  std::u16string units;
  for (const char c : bytes) units.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return units;
#endif
}

std::string ToUtf8(const TJwwString& text) {
  return text.IsWide() ? Utf16ToUtf8(text.Units()) : SjisToUtf8(text.Sjis());
}

std::optional<std::filesystem::path> PathFromJww(const TJwwString& text) {
  if (!text.IsWide()) return PathFromSjis(text.Sjis());
  const auto utf8 = Utf16ToUtf8Strict(text.Units());
  if (!utf8) return std::nullopt;
  return PathFromUtf8(*utf8);
}

}  // namespace qm
