#ifndef _WIN32
#include "textconv.h"

#include <cerrno>
#include <iconv.h>

namespace qm {

namespace {

// Converts with iconv. On an invalid or unconvertible sequence, either gives up
// (strict) or writes the replacement and skips one input byte.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in, bool strict,
                                   std::string_view replacement) {
  iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  out.reserve(in.size() * 3 / 2 + 8);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char buffer[512];
  bool failed = false;
  while (srcLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    const size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (r != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    if (strict) {
      failed = true;
      break;
    }
    out.append(replacement);
    // Skip one byte of the input (for UTF-8 input, the whole character).
    size_t skip = 1;
    if (std::string_view(from) == "UTF-8") {
      const unsigned char lead = static_cast<unsigned char>(*src);
      skip = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      if (skip > srcLeft) skip = srcLeft;
    }
    src += skip;
    srcLeft -= skip;
  }
  ::iconv_close(cd);
  if (failed) return std::nullopt;
  return out;
}

}  // namespace

std::string SjisToUtf8(std::string_view sjis) { return Convert("UTF-8", "CP932", sjis, false, "\xEF\xBF\xBD").value_or(std::string()); }

std::string Utf8ToSjis(std::string_view utf8) { return Convert("CP932", "UTF-8", utf8, false, "?").value_or(std::string()); }

std::optional<std::filesystem::path> PathFromSjis(std::string_view sjis) {
  auto utf8 = Convert("UTF-8", "CP932", sjis, true, "");
  if (!utf8) return std::nullopt;
  return std::filesystem::path(*utf8);
}

std::optional<std::u16string> SjisToUtf16(std::string_view sjis) {
  const auto bytes = Convert("UTF-16LE", "CP932", sjis, true, "");
  if (!bytes) return std::nullopt;
  std::u16string out(bytes->size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(static_cast<unsigned char>((*bytes)[2 * i]) |
                                   (static_cast<unsigned char>((*bytes)[2 * i + 1]) << 8));
  return out;
}

std::optional<std::string> Utf16ToSjis(std::u16string_view units) {
  std::string bytes(units.size() * 2, '\0');
  for (size_t i = 0; i < units.size(); ++i) {
    bytes[2 * i] = static_cast<char>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  return Convert("CP932", "UTF-16LE", bytes, true, "");
}

std::string PathToUtf8(const std::filesystem::path& path) { return path.string(); }

std::filesystem::path PathFromUtf8(std::string_view utf8) { return std::filesystem::path(std::string(utf8)); }

}  // namespace qm
#endif
