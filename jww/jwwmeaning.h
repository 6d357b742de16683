// What the numbers of a drawing mean: which layer an element lies on, which
// pen styles and colours are real, and how older versions numbered them.
// The purge, the writer's normalisation and the renderer all ask here, so a
// correction is one line and the three can never disagree.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "jwwtype.h"

namespace JwwMeaning {

// Names of the element classes by kind (1..8; index 0 is empty).
inline constexpr std::array<std::string_view, 9> ClassNames = {
    "", "CDataSen", "CDataEnko", "CDataTen", "CDataMoji", "CDataSunpou", "CDataSolid", "CDataBlock", "CDataList"};

// True for the kinds an order list can hold (1..7).
constexpr bool IsElementKind(int32_t kind) noexcept { return kind >= KindSen && kind <= KindBlock; }

// The layer group and the layer an element lies on: a stored number above 15
// is written as 0, so that is where it lies (and where the purge tests it).
constexpr uint16_t LayerNumber(uint16_t stored) noexcept { return stored > 15 ? 0 : stored; }
// Index into the document's 256 layers of an element's layer.
constexpr size_t LayerIndex(const TEntJwwEntityHeader& h) noexcept {
  return static_cast<size_t>(LayerNumber(h.LayerGroup)) * 16 + LayerNumber(h.Layer);
}

// Before version 420 the line types 31..62 and the colours 101..356 were
// numbered otherwise: what a line type or colour of today stands for there.
constexpr bool UsesOldPenNumbers(int32_t v) noexcept { return v < 420; }
constexpr uint8_t OldPenStyle(uint8_t s) noexcept {
  constexpr uint8_t map[] = {1, 4, 3, 6, 8, 8, 2, 5, 7, 6, 6, 8, 8, 17, 17};  // 31..45
  if (s >= 31 && s <= 45) return map[s - 31];
  if (s >= 46 && s <= 62) return 0;
  return s;
}
constexpr uint16_t OldPenColor(uint16_t c) noexcept {
  constexpr uint16_t map[] = {2, 8, 3, 6, 4, 5, 1, 2, 5, 8, 4, 3, 6, 5, 2, 2};  // 101..116
  if (c >= 101 && c <= 116) return map[c - 101];
  if (c >= 117 && c <= 356) return 0;
  return c;
}

// The extended colours 101..356 (ColorsEx[colour - 100]).
constexpr bool IsExtendedColor(uint16_t c) noexcept { return c >= 101 && c <= 356; }
// The pen colour of a solid that carries its own RGB value.
constexpr uint16_t SolidOwnColor = 10;
// The pen style of a point that carries its code, angle and scale.
constexpr uint8_t PointWithExtras = 100;

// The pen style an element of a kind (1..7, 8 for a block definition) has in
// a file of version v: older numbers translated, anything outside the kind's
// range replaced (lines and arcs 0, points and texts 1).
constexpr uint8_t PenStyle(uint8_t s, int32_t kind, int32_t v) noexcept {
  if ((kind == KindSen || kind == KindEnko) && UsesOldPenNumbers(v)) s = OldPenStyle(s);
  switch (kind) {
    case KindSen:
    case KindEnko: return (s >= 1 && s <= 9) || (s >= 11 && s <= 19) || (s >= 31 && s <= 62) ? s : 0;
    case KindTen: return s == 1 || s == PointWithExtras ? s : 1;
    case KindMoji: return s >= 1 && s <= 9 ? s : 1;
    default: return s;
  }
}

// The pen colour likewise: older numbers translated, anything outside 1..9
// (1..10 for solids) or the extended colours replaced by 0. Block inserts and
// definitions keep theirs.
constexpr uint16_t PenColor(uint16_t c, int32_t kind, int32_t v) noexcept {
  if (kind >= KindSen && kind <= KindSolid && UsesOldPenNumbers(v)) c = OldPenColor(c);
  if (kind >= KindSen && kind <= KindSunpou) return (c >= 1 && c <= 9) || IsExtendedColor(c) ? c : 0;
  if (kind == KindSolid) return (c >= 1 && c <= SolidOwnColor) || IsExtendedColor(c) ? c : 0;
  return c;
}

// A pen width above this is not a width (written as 0).
constexpr uint16_t MaxPenWidth = 30000;

}  // namespace JwwMeaning
