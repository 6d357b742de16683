// Conversions between the drawings' Shift-JIS (code page 932) bytes, the UTF-8
// that the portable front end and the report use, and file-system paths. This
// is the only place that knows a character set; everything else keeps bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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
// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view text) noexcept;

}  // namespace qm
