// Shift-JIS text helpers shared by the reader, the writer and the settings code.
//
// A Shift-JIS text is a byte string; positions and lengths count bytes. A byte
// in 0x80..0x9F or 0xE0..0xFD starts a two-byte character and the byte after
// it belongs to that character whatever its value (a little wider than code
// page 932 itself, on purpose: the cleaning helpers must never split a pair).
//
// Drawings stored in the archive's wide form hold UTF-16 texts. The same rules
// apply to them per code unit, and the lead-byte rule has no part: a unit
// below 0x20 is a control character, U+3000 the full-width space. Surrogates,
// paired or not, are ordinary units and pass unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "jwwstring.h"

namespace qm {

namespace Func_ {

constexpr bool IsLeadByte(unsigned char b) noexcept {
  return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFD);
}

// Drops single bytes below 0x20 and a lead byte that has no second byte.
std::string RemoveControlChars(std::string_view text);
std::u16string RemoveControlChars(std::u16string_view text);

// Drops half-width spaces, full-width spaces (0x81 0x40) and one-byte control
// characters. Used only to test whether a name is blank.
std::string RemoveSpaces(std::string_view text);
std::u16string RemoveSpaces(std::u16string_view text);

// Drops every "^m" pair and every one-byte control character. A non-empty text
// never becomes empty: when nothing is left the result is a single space.
std::string RemoveCaretM(std::string_view text);
std::u16string RemoveCaretM(std::u16string_view text);

// True when RemoveControlChars, or RemoveCaretM, would change the text (most
// texts need neither, and are then kept as they are).
bool HasControlChars(const TJwwString& text);
bool HasCaretMOrControlChars(const TJwwString& text);

// The cleaning helpers on a drawing's string, in the string's own form.
TJwwString RemoveControlCharsOf(const TJwwString& text);
TJwwString RemoveCaretMOf(const TJwwString& text);
// True when RemoveSpaces leaves nothing of the text.
bool IsBlank(const TJwwString& text);

// Converts a whole text to a 32-bit integer: leading spaces, an optional sign,
// decimal digits, or hexadecimal after "$", "x", "X" or "0x". Anything else,
// including a value that does not fit, gives 0. A hexadecimal text may name
// any 32-bit pattern ($FFFFFFFF is -1).
int32_t StrToIntOrZero(std::string_view text) noexcept;

// Upper-cases the one-byte letters a..z; two-byte characters are unchanged.
std::string SjisUpperCase(std::string_view text);
// Upper-cases the units a..z of a wide text; every other unit is unchanged.
std::u16string WideUpperCase(std::u16string_view text);
// Upper-cases every unit that has a one-unit upper case in Unicode (ａ to Ａ,
// é to É, ω to Ω ...), as file systems that ignore letter case compare names.
// Surrogates are left as they are.
std::u16string UnicodeUpperCase(std::u16string_view text);

// 0-based position of the first byte c that is a character of its own (not the
// second byte of a two-byte character), or npos.
size_t SjisFind(std::string_view text, char c) noexcept;

}  // namespace Func_

}  // namespace qm
