// Conversions between the drawings' texts (Shift-JIS, code page 932, or the
// UTF-16 of the archive's wide form), the UTF-8 that the portable front end
// and the report use, and file-system paths. This is the only place that
// knows a character set; everything else keeps the units it was given.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "jwwstring.h"

namespace qm {

// Shift-JIS to UTF-8 for display. Bytes that do not decode become U+FFFD.
std::string SjisToUtf8(std::string_view sjis);
// UTF-8 to Shift-JIS. Characters without a Shift-JIS form become "?".
std::string Utf8ToSjis(std::string_view utf8);
// The name a Shift-JIS file name stands for, or nothing when its bytes are not
// valid Shift-JIS.
std::optional<std::filesystem::path> PathFromSjis(std::string_view sjis);
// A path as UTF-8 text (for reports and messages) and back.
std::string PathToUtf8(const std::filesystem::path& path);
std::filesystem::path PathFromUtf8(std::string_view utf8);
// A path as UTF-16 (the units Windows names it by).
std::u16string PathToUtf16(const std::filesystem::path& path);
// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view text) noexcept;
// The length of the well-formed UTF-8 sequence at the start of s, 0 when
// there is none (a stray continuation byte, an overlong form, a surrogate, a
// value above U+10FFFF, a sequence cut short, an empty s).
size_t Utf8SequenceLength(std::string_view s) noexcept;
// A text (UTF-8, perhaps with bytes that are not) as it may be shown on a
// terminal or in a report line: names from drawings and paths can hold
// anything. Control characters (U+0000..U+001F, U+007F, U+0080..U+009F) and
// the characters that reorder text on screen (U+202A..U+202E, U+2066..U+2069)
// become visible escapes ("\x1b", "\u0085", "\u202e"), a byte that is not
// part of well-formed UTF-8 becomes "\xNN"; nothing else changes.
std::string Printable(std::string_view text);

// UTF-16 to UTF-8 for display: an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view units);
// UTF-16 to UTF-8, or nothing when it holds an unpaired surrogate.
std::optional<std::string> Utf16ToUtf8Strict(std::u16string_view units);
// UTF-8 to UTF-16, or nothing when the bytes are not well-formed UTF-8.
std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);
// Shift-JIS to UTF-16 and back, exactly or not at all: nothing when a byte
// sequence does not decode or a character has no Shift-JIS form. Nothing is
// ever replaced by a look-alike or a "?".
std::optional<std::u16string> SjisToUtf16(std::string_view sjis);
std::optional<std::string> Utf16ToSjis(std::u16string_view units);

// A drawing's string as UTF-8, for display.
std::string ToUtf8(const TJwwString& text);
// The file name a drawing's string stands for, or nothing when it does not
// decode (bytes that are not Shift-JIS, an unpaired surrogate).
std::optional<std::filesystem::path> PathFromJww(const TJwwString& text);

}  // namespace qm
