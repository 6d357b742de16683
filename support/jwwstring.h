// A string of a drawing in the form the archive stored it in: Shift-JIS
// bytes, or the UTF-16 code units of the archive's wide form. A string keeps
// its form and its exact units from the read to the write; only the writer
// decides which form goes to the file, and only the display edge decodes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace qm {

class TJwwString {
 public:
  TJwwString() = default;
  // Shift-JIS bytes.
  TJwwString(std::string sjis) : Value_(std::move(sjis)) {}
  TJwwString(const char* sjis) : Value_(std::string(sjis)) {}
  // UTF-16 code units (the wide form).
  static TJwwString Wide(std::u16string units) {
    TJwwString s;
    s.Value_ = std::move(units);
    return s;
  }

  bool IsWide() const noexcept { return Value_.index() == 1; }
  bool empty() const noexcept { return size() == 0; }
  // Bytes of a Shift-JIS string, code units of a wide one.
  size_t size() const noexcept {
    return IsWide() ? std::get<1>(Value_).size() : std::get<0>(Value_).size();
  }
  // Empties the string; it keeps its form.
  void clear() noexcept {
    if (IsWide())
      std::get<1>(Value_).clear();
    else
      std::get<0>(Value_).clear();
  }

  // The Shift-JIS bytes; empty for a wide string.
  std::string_view Sjis() const noexcept {
    if (const auto* s = std::get_if<0>(&Value_)) return *s;
    return {};
  }
  // The code units; empty for a Shift-JIS string.
  std::u16string_view Units() const noexcept {
    if (const auto* s = std::get_if<1>(&Value_)) return *s;
    return {};
  }

  // f applied to the string's own form: f(std::string_view) for Shift-JIS,
  // f(std::u16string_view) for wide. The result keeps the form.
  template <typename F>
  TJwwString Transformed(F&& f) const {
    if (IsWide()) return Wide(std::u16string(f(Units())));
    return TJwwString(std::string(f(Sjis())));
  }
  // f applied to the string's own form, whatever f returns.
  template <typename F>
  decltype(auto) Visit(F&& f) const {
    if (IsWide()) return f(Units());
    return f(Sjis());
  }

  // Equal when both form and units agree.
  bool operator==(const TJwwString&) const = default;

 private:
  std::variant<std::string, std::u16string> Value_;
};

}  // namespace qm
