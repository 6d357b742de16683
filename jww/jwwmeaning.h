// What the numbers of a drawing mean: which layer an element lies on, which
// pen styles and colours are real, and how older versions numbered them.
// The purge, the writer's normalisation and the renderer all ask here, so a
// correction is one line and the three can never disagree.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>

#include "Func_.h"
#include "jwwtype.h"

namespace qm {

namespace JwwMeaning {

// The one Pi of the pictures' geometry (and of the tests that check it).
inline constexpr double Pi = std::numbers::pi;

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

// ---------------------------------------------------------------------------
// What the numbers look like on paper: the rules the renderer draws by.
// Marked "measured" where real drawings confirmed them; the others are the
// best knowledge we have, kept here so that a correction is one line.

// Element coordinates are paper millimetres, origin at the sheet's centre,
// +y up (measured: the A3 frame of a 1:100 drawing lies at x +-210, y +-148.5).
// A layer group's Scale only turns paper mm into real mm for reading
// dimensions; it plays no part in drawing.

// The sheet of a PaperSize code, landscape, in mm; nothing for a code that
// names no sheet (then the drawing's extent is shown).
struct TPaper {
  double Width = 0, Height = 0;
};
constexpr std::optional<TPaper> Paper(int32_t code) noexcept {
  switch (code) {
    case 0: return TPaper{1189, 841};  // A0
    case 1: return TPaper{841, 594};   // A1
    case 2: return TPaper{594, 420};   // A2
    case 3: return TPaper{420, 297};   // A3
    case 4: return TPaper{297, 210};   // A4
    case 8: return TPaper{1682, 1189};   // 2A
    case 9: return TPaper{2378, 1682};   // 3A
    case 10: return TPaper{3364, 2378};  // 4A
    case 11: return TPaper{4756, 3364};  // 5A
    case 12: return TPaper{10000, 7071};    // 10 m
    case 13: return TPaper{50000, 35355};   // 50 m
    case 14: return TPaper{100000, 70711};  // 100 m
    default: return std::nullopt;
  }
}

// A layer is shown when neither its group's State nor its own is 0.
constexpr bool IsShown(int32_t groupState, int32_t layerState) noexcept { return groupState != 0 && layerState != 0; }

// Colours are stored as 0x00BBGGRR (measured: pen 2 black 0x000000, pen 6
// blue 0xFF0000); PenSettings[0] is the background, PenSettings[1..9] pen
// colours 1..9, ColorsEx[c - 100] the colours from 101, and a solid of pen
// colour 10 carries its own value in the same form. As 0xRRGGBB:
constexpr uint32_t Rgb(int32_t stored) noexcept {
  const auto v = static_cast<uint32_t>(stored) & 0xFFFFFFu;
  return ((v & 0xFFu) << 16) | (v & 0xFF00u) | ((v >> 16) & 0xFFu);
}
// The background's pen number.
constexpr uint16_t BackgroundPen = 0;

// Line widths: a pen's PrinterWidth, and an element's own PenWidth when it is
// not 0 (it overrides the pen's), count hundredths of a millimetre.
constexpr double WidthMm(int32_t hundredths) noexcept { return hundredths > 0 ? hundredths / 100.0 : 0.0; }
// A point is a dot of its pen's PointRadius, in paper mm, whatever a block's
// scale.

// What the screen shows and a print leaves out: temporary points, and the
// auxiliary elements (drawn in the auxiliary line type or the auxiliary
// colour). Each rule judges one element by its own header, in the numbering
// of today (older numbers translated as above).
//
// A temporary point: a point whose Temporary is not 0.
constexpr bool IsTemporaryPoint(const TEntJwwTen& p) noexcept { return p.Temporary != 0; }
// An auxiliary element: a line, arc, point, text, dimension or solid in the
// auxiliary line type (pen style 9) or the auxiliary colour (pen colour 9).
// A point's pen style says only whether its extra fields follow (1 or 100;
// anything else is written as 1), so a point is auxiliary by its colour
// alone. A dimension is judged by its own header (its parts each by theirs,
// where a picture draws them), a block insert never (its definition's
// elements are judged each by its own header).
constexpr uint8_t AuxiliaryLineType = 9;
constexpr uint16_t AuxiliaryColor = 9;
constexpr bool IsAuxiliary(const TEntJwwEntityHeader& h, int32_t kind, int32_t v) noexcept {
  if (kind < KindSen || kind > KindSolid) return false;
  if (kind != KindTen && PenStyle(h.PenStyle, kind, v) == AuxiliaryLineType) return true;
  return PenColor(h.PenColor, kind, v) == AuxiliaryColor;
}

// Outside the sheet: an element whose whole extent in paper mm (every point
// it draws: a text's whole frame, everything a block insert places, every
// part of a dimension) misses the sheet, centred on the origin. Touching its
// edge is not outside; an extent that is empty or not finite is. A drawing
// whose PaperSize names no sheet has nothing outside it.
constexpr bool IsOutsideSheet(const std::optional<TPaper>& sheet, double left, double bottom, double right,
                              double top) noexcept {
  if (!sheet) return false;
  const double w = sheet->Width / 2, h = sheet->Height / 2;
  return !(left <= w && right >= -w && bottom <= h && top >= -h && left <= right && bottom <= top);
}

// Line types as dash patterns in paper mm (on, off, on, off ...); none is a
// solid line. 1 is solid, 2..9 the standard types, 16..19 the double-length
// ones (those of 2..5 at twice the length), 11..15 the random lines (drawn
// solid), 31..62 the extended types of version 4.20 (their Pitches in mm),
// anything else solid.
struct TDashes {
  std::array<double, 10> Length{};
  uint8_t Count = 0;  // 0: solid
};
// Measured: 2, 5, 6 and 9 as the CAD program's own DXF export defines them
// (DASHED1, CENTER1, CENTER2, DOT); 7 and 8, the two-dot chains, follow the
// chains 5 and 6 they extend; 3 and 4 are the best knowledge we have.
constexpr TDashes StandardDashes(uint8_t style) noexcept {
  switch (style) {
    case 2: return {{1.25, 1.25}, 2};
    case 3: return {{1, 1}, 2};
    case 4: return {{3, 1}, 2};
    case 5: return {{6.25, 1.25, 1.25, 1.25}, 4};
    case 6: return {{12.5, 2.5, 2.5, 2.5}, 4};
    case 7: return {{6.25, 1.25, 1.25, 1.25, 1.25, 1.25}, 6};
    case 8: return {{12.5, 2.5, 2.5, 2.5, 2.5, 2.5}, 6};
    case 9: return {{0.625, 1.875}, 2};
    case 16: case 17: case 18: case 19: {
      TDashes d = StandardDashes(static_cast<uint8_t>(style - 14));
      for (double& x : d.Length) x *= 2;
      return d;
    }
    default: return {};
  }
}
constexpr bool IsExtendedLineType(uint8_t style) noexcept { return style >= 31 && style <= 62; }
// The pattern of an extended line type from its entry (LineTypesEx[style - 30]):
// its first SegmentCount pitches; a count outside 1..10, or a pattern that
// draws nothing, is solid.
constexpr TDashes ExtendedDashes(const TEntJwwLineTypeExNo& t) noexcept {
  if (t.SegmentCount < 1 || t.SegmentCount > 10) return {};
  TDashes d;
  d.Count = static_cast<uint8_t>(t.SegmentCount);
  double on = 0, sum = 0;
  for (size_t i = 0; i < d.Count; ++i) {
    const double x = t.Pitches[i];
    if (!(x >= 0 && x < 1e6)) return {};
    d.Length[i] = x;
    sum += x;
    if (i % 2 == 0) on += x;
  }
  if (on <= 0 || sum <= 0) return {};
  if (d.Count % 2) d.Length[d.Count++] = 0;  // an odd list closes with a gap of 0
  return d;
}

// Arcs: StartAngle, ArcAngle and TiltAngle in radians, counter-clockwise
// (measured: within +-2 pi). Radius is the semi-axis along the tilt, Flatness
// the other semi-axis over it (measured 0.1..2.0). A point of the ellipse is
// centre + Radius cos(t) along the tilt + Radius Flatness sin(t) across it,
// and the arc runs over t from StartAngle through ArcAngle (t is the angle on
// the circle the ellipse is squeezed from). FullCircle 1 draws the whole.
constexpr bool IsWholeEllipse(int32_t fullCircle) noexcept { return fullCircle == 1; }

// Texts (measured): SizeX is the width of a full-width character in paper mm
// (a half-width character is half of it), SizeY the height, Spacing the gap
// between two characters; Angle in degrees, counter-clockwise; StartX/StartY
// the lower left of the first character. Half-width are the one-byte
// characters of Shift-JIS; of a wide string, units below U+0100 and the
// half-width katakana U+FF61..U+FF9F (a surrogate pair is one full-width
// character).
constexpr double TextAngle(double degrees) noexcept { return degrees * 3.14159265358979323846 / 180.0; }
struct TTextRun {
  double Width = 0;   // from the first character's left to the last one's right, paper mm
  uint32_t Characters = 0;
};
inline TTextRun TextRun(const TJwwString& text, double sizeX, double spacing) noexcept {
  uint64_t halves = 0;
  uint32_t chars = 0;
  if (text.IsWide()) {
    const std::u16string_view u = text.Units();
    for (size_t i = 0; i < u.size(); ++i, ++chars) {
      const char16_t c = u[i];
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < u.size() && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF) ++i;
      halves += c < 0x100 || (c >= 0xFF61 && c <= 0xFF9F) ? 1 : 2;
    }
  } else {
    const std::string_view s = text.Sjis();
    for (size_t i = 0; i < s.size(); ++i, ++chars) {
      const bool pair = Func_::IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size();
      halves += pair ? 2 : 1;
      i += pair;
    }
  }
  TTextRun run;
  run.Characters = chars;
  run.Width = static_cast<double>(halves) * sizeX / 2 + (chars > 1 ? (chars - 1) * spacing : 0.0);
  return run;
}

// A text that starts with "^@BM" shows an embedded image:
// "^@BM[%temp%]NAME[,WIDTH,HEIGHT,...]" with the frame's width and height in
// paper mm, its lower left at the text's start, turned by the text's angle.
// Nothing when the text is not one; a size that does not read is 0. The one
// rule of what a reference is: the renderer draws by it, and the writer keeps
// the image a drawn text shows by it (a text's, or a dimension's value text).
struct TImageRef {
  TJwwString Name;
  double Width = 0, Height = 0;
};
namespace Detail {
template <class View>
double Number(View s, size_t& i) noexcept {
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  double v = 0, scale = 0;
  bool digits = false;
  for (; i < s.size(); ++i) {
    const auto c = static_cast<uint32_t>(s[i]);
    if (c >= '0' && c <= '9') {
      digits = true;
      if (scale == 0) v = v * 10 + (c - '0');
      else v += (c - '0') * (scale /= 10);
    } else if (c == '.' && scale == 0) {
      scale = 1;
    } else {
      break;
    }
  }
  while (i < s.size() && s[i] != ',') ++i;
  if (i < s.size()) ++i;
  return digits && v < 1e9 ? (negative ? -v : v) : 0;
}
template <class View>
std::optional<TImageRef> ImageRef(View s) {
  constexpr char Prefix[] = "^@BM", Temp[] = "%temp%";
  if (s.size() < 4) return std::nullopt;
  for (size_t i = 0; i < 4; ++i)
    if (static_cast<uint32_t>(s[i]) != static_cast<uint32_t>(Prefix[i])) return std::nullopt;
  size_t from = 4;
  bool temp = s.size() >= 10;
  for (size_t i = 0; temp && i < 6; ++i) temp = static_cast<uint32_t>(s[4 + i]) == static_cast<uint32_t>(Temp[i]);
  if (temp) from = 10;
  size_t comma = from;
  while (comma < s.size() && s[comma] != ',') {
    if constexpr (sizeof(s[0]) == 1)
      comma += Func_::IsLeadByte(static_cast<unsigned char>(s[comma])) && comma + 1 < s.size() ? 2u : 1u;
    else
      ++comma;
  }
  TImageRef r;
  if constexpr (sizeof(s[0]) == 1) r.Name = TJwwString(std::string(s.substr(from, comma - from)));
  else r.Name = TJwwString::Wide(std::u16string(s.substr(from, comma - from)));
  size_t i = comma < s.size() ? comma + 1 : comma;
  r.Width = Number(s, i);
  r.Height = Number(s, i);
  return r;
}
}  // namespace Detail
inline std::optional<TImageRef> ImageRef(const TJwwString& text) {
  return text.IsWide() ? Detail::ImageRef(text.Units()) : Detail::ImageRef(text.Sjis());
}

// Block inserts: the definition's elements, relative to its origin (the base
// point), are scaled by ScaleX and ScaleY, turned by Angle (radians,
// counter-clockwise) and moved to X, Y. An insert places the first
// definition of its number.

// Dimensions draw their line and value text, and from version 4.20 their two
// extension lines and four points (older files hold none).
constexpr bool HasDimensionExtension(int32_t v) noexcept { return v >= 420; }

// Solids are filled quadrilaterals: Start, End, Point2, Point3 in that order.

}  // namespace JwwMeaning

}  // namespace qm
