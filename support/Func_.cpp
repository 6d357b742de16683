#include "Func_.h"

#include <cstring>
#include <iterator>
#include <limits>

namespace qm {

namespace Func_ {

namespace {
unsigned char At(std::string_view s, size_t i) { return static_cast<unsigned char>(s[i]); }
}  // namespace

std::string RemoveControlChars(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char b = At(text, i);
    if (IsLeadByte(b)) {
      if (i + 1 < text.size()) out.append(text.substr(i, 2));
      i += 2;  // a lead byte at the very end is dropped
    } else {
      if (b >= 0x20) out.push_back(static_cast<char>(b));
      ++i;
    }
  }
  return out;
}

std::string RemoveSpaces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char b = At(text, i);
    if (IsLeadByte(b)) {
      const std::string_view ch = text.substr(i, 2);  // a single byte when it ends the text
      if (ch != std::string_view("\x81\x40", 2)) out.append(ch);
      i += 2;
    } else {
      if (b > 0x20) out.push_back(static_cast<char>(b));
      ++i;
    }
  }
  return out;
}

std::string RemoveCaretM(std::string_view text) {
  if (text.empty()) return {};
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char b = At(text, i);
    if (IsLeadByte(b)) {
      out.append(text.substr(i, 2));
      i += 2;
    } else if (b == '^' && i + 1 < text.size() && text[i + 1] == 'm') {
      i += 2;
    } else {
      if (b >= 0x20) out.push_back(static_cast<char>(b));
      ++i;
    }
  }
  if (out.empty()) out.push_back(' ');
  return out;
}

std::u16string RemoveControlChars(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char16_t u : text)
    if (u >= 0x20) out.push_back(u);
  return out;
}

std::u16string RemoveSpaces(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char16_t u : text)
    if (u > 0x20 && u != 0x3000) out.push_back(u);
  return out;
}

std::u16string RemoveCaretM(std::u16string_view text) {
  if (text.empty()) return {};
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u == u'^' && i + 1 < text.size() && text[i + 1] == u'm')
      ++i;
    else if (u >= 0x20)
      out.push_back(u);
  }
  if (out.empty()) out.push_back(u' ');
  return out;
}

bool HasControlChars(const TJwwString& text) {
  if (text.IsWide()) {
    for (const char16_t u : text.Units())
      if (u < 0x20) return true;
    return false;
  }
  const std::string_view t = text.Sjis();
  for (size_t i = 0; i < t.size(); ++i) {
    const unsigned char b = At(t, i);
    if (IsLeadByte(b)) {
      if (i + 1 == t.size()) return true;  // a lead byte without its second byte
      ++i;
    } else if (b < 0x20) {
      return true;
    }
  }
  return false;
}

bool HasCaretMOrControlChars(const TJwwString& text) {
  if (text.IsWide()) {
    const std::u16string_view t = text.Units();
    for (size_t i = 0; i < t.size(); ++i)
      if (t[i] < 0x20 || (t[i] == u'^' && i + 1 < t.size() && t[i + 1] == u'm')) return true;
    return false;
  }
  const std::string_view t = text.Sjis();
  for (size_t i = 0; i < t.size(); ++i) {
    const unsigned char b = At(t, i);
    if (IsLeadByte(b))
      ++i;
    else if (b < 0x20 || (b == '^' && i + 1 < t.size() && t[i + 1] == 'm'))
      return true;
  }
  return false;
}

TJwwString RemoveControlCharsOf(const TJwwString& text) {
  return text.Transformed([](auto t) { return RemoveControlChars(t); });
}

TJwwString RemoveCaretMOf(const TJwwString& text) {
  return text.Transformed([](auto t) { return RemoveCaretM(t); });
}

// The same test as RemoveSpaces(text).empty(), without making the text.
bool IsBlank(const TJwwString& text) {
  if (text.IsWide()) {
    for (const char16_t u : text.Units())
      if (u > 0x20 && u != 0x3000) return false;
    return true;
  }
  const std::string_view t = text.Sjis();
  for (size_t i = 0; i < t.size(); ++i) {
    const unsigned char b = At(t, i);
    if (IsLeadByte(b)) {
      // A full-width space is dropped; any other two-byte character, or a
      // lead byte at the end (kept by RemoveSpaces), is not blank.
      if (i + 1 == t.size() || b != 0x81 || At(t, i + 1) != 0x40) return false;
      ++i;
    } else if (b > 0x20) {
      return false;
    }
  }
  return true;
}

int32_t StrToIntOrZero(std::string_view text) noexcept {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  unsigned base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return 0;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else return 0;
    value = value * base + digit;
    if (value > int64_t{1} << 32) return 0;  // far out of range; stop before it can overflow
  }
  if (negative) value = -value;
  if (base == 16 && !negative && value > std::numeric_limits<int32_t>::max() &&
      value <= std::numeric_limits<uint32_t>::max()) {
    // Hexadecimal texts may name the full 32-bit pattern ($FFFFFFFF is -1).
    return static_cast<int32_t>(static_cast<uint32_t>(value));
  }
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) return 0;
  return static_cast<int32_t>(value);
}

std::string SjisUpperCase(std::string_view text) {
  std::string out(text);
  size_t i = 0;
  while (i < out.size()) {
    const unsigned char b = static_cast<unsigned char>(out[i]);
    if (IsLeadByte(b)) {
      i += 2;
    } else {
      if (b >= 'a' && b <= 'z') out[i] = static_cast<char>(b - 'a' + 'A');
      ++i;
    }
  }
  return out;
}

std::u16string WideUpperCase(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& u : out)
    if (u >= u'a' && u <= u'z') u = static_cast<char16_t>(u - u'a' + u'A');
  return out;
}

namespace {

struct TUpperRun {
  uint16_t First;
  uint16_t Count;
  int32_t Delta;
  uint16_t Step;
};

constexpr TUpperRun UpperRuns[] = {
#include "upcase_table.inc"
};

char16_t UnicodeUpper(char16_t u) {
  // The last run that starts at or before u.
  size_t lo = 0, hi = std::size(UpperRuns);
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    if (UpperRuns[mid].First <= u)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo == 0) return u;
  const TUpperRun& r = UpperRuns[lo - 1];
  const unsigned offset = static_cast<unsigned>(u - r.First);
  if (offset % r.Step != 0 || offset / r.Step >= r.Count) return u;
  return static_cast<char16_t>(static_cast<int32_t>(u) + r.Delta);
}

}  // namespace

std::u16string UnicodeUpperCase(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& u : out) u = UnicodeUpper(u);
  return out;
}

size_t SjisFind(std::string_view text, char c) noexcept {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(b)) {
      i += 2;
    } else {
      if (text[i] == c) return i;
      ++i;
    }
  }
  return std::string_view::npos;
}

}  // namespace Func_

}  // namespace qm
