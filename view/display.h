// Display items: a drawing as it looks, in paper millimetres (origin at the
// sheet's centre, +y up), every transform resolved and every style explicit.
// The renderer (render.h) makes them and streams them into a sink; the SVG
// writer, the stored list that a window plays back, and the visual proof are
// sinks, and none of them decides anything about what the drawing means.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>

#include "jwwstring.h"

namespace qm::view {

struct TPoint {
  double X = 0, Y = 0;
  bool operator==(const TPoint&) const = default;
};

// An affine map (x, y) -> (A x + C y + E, B x + D y + F): the order of SVG's
// matrix(a b c d e f).
struct TMatrix {
  double A = 1, B = 0, C = 0, D = 1, E = 0, F = 0;
  bool operator==(const TMatrix&) const = default;

  TPoint operator()(TPoint p) const noexcept { return {A * p.X + C * p.Y + E, B * p.X + D * p.Y + F}; }
  // A vector: the map without its translation.
  TPoint Linear(TPoint v) const noexcept { return {A * v.X + C * v.Y, B * v.X + D * v.Y}; }
  // This map after inner.
  TMatrix operator*(const TMatrix& m) const noexcept {
    return {A * m.A + C * m.B, B * m.A + D * m.B, A * m.C + C * m.D, B * m.C + D * m.D, A * m.E + C * m.F + E,
            B * m.E + D * m.F + F};
  }
  static TMatrix Translate(double x, double y) noexcept { return {1, 0, 0, 1, x, y}; }
  static TMatrix Scale(double sx, double sy) noexcept { return {sx, 0, 0, sy, 0, 0}; }
  static TMatrix Rotate(double radians) noexcept {
    if (radians == 0) return {};
    const double c = std::cos(radians), s = std::sin(radians);
    return {c, s, -s, c, 0, 0};
  }
};

// Where an item comes from: the top-level element that made or placed it
// (the contents of a block definition take their insert's), the layer group
// and layer it lies on (a number above 15 counts as 0), and whether that
// layer is shown.
struct TOrigin {
  uint32_t Element = 0;  // position in the drawing's order list
  uint8_t LayerGroup = 0, Layer = 0;
  bool Visible = true;
  bool operator==(const TOrigin&) const = default;
};

// How a line or an arc is drawn.
struct TStroke {
  uint32_t Color = 0;  // 0xRRGGBB
  double Width = 0;    // paper mm; 0 is the thinnest line the medium draws
  uint8_t LineType = 1;  // the pen style it was resolved from
  uint8_t DashCount = 0;  // 0: solid
  std::array<double, 10> Dashes{};  // paper mm: on, off, on, off ...
  bool operator==(const TStroke&) const = default;
};

// An elliptical arc: the points Center + U cos t + V sin t for t from Start
// through Start + Sweep (radians; a negative sweep runs the other way). U and
// V are conjugate semi-axes, so the form survives any affine map; a circle of
// radius r has U = (r, 0), V = (0, r). Whole: the complete ellipse.
struct TArc {
  TPoint Center, U, V;
  double Start = 0, Sweep = 0;
  bool Whole = false;
  bool operator==(const TArc&) const = default;

  TPoint At(double t) const noexcept {
    const double c = std::cos(t), s = std::sin(t);
    return {Center.X + U.X * c + V.X * s, Center.Y + U.Y * c + V.Y * s};
  }
};

// A run of text. Frame maps the text's own millimetres (origin at the lower
// left of the first character, x along the run, y up) to paper mm; the run is
// Width long and SizeY high, its full-width characters SizeX wide with
// Spacing between characters (all in the text's own mm).
struct TText {
  TMatrix Frame;
  double SizeX = 0, SizeY = 0, Spacing = 0, Width = 0;
  uint32_t Color = 0;  // 0xRRGGBB
  const TJwwString* Font = nullptr;
  const TJwwString* Text = nullptr;

  // The run's angle on paper, counter-clockwise in radians.
  double Angle() const noexcept { return std::atan2(Frame.B, Frame.A); }
};

// The frame of an embedded image, Width by Height in its own mm, placed by
// Frame as a text is, with the image's name.
struct TImage {
  TMatrix Frame;
  double Width = 0, Height = 0;
  uint32_t Color = 0;
  const TJwwString* Name = nullptr;
};

// A point, drawn as a dot. A construction point is not printed.
struct TDot {
  TPoint At;
  double Radius = 0;  // paper mm
  uint32_t Color = 0;
  bool Construction = false;
  bool operator==(const TDot&) const = default;
};

// A block insert that was not expanded: the definition it places, named by
// the order in which the walk first reached it (0, 1, 2 ...; -1: none), and
// its placement. An insert drawn by reference also carries a box that holds
// everything it places, in the coordinates it is placed in (Low above High:
// not known).
struct TInsert {
  int32_t Definition = -1;
  TMatrix Placement;
  TPoint Low{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
  TPoint High{-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
  bool operator==(const TInsert&) const = default;
};

// Receives the items in drawing order (later items above earlier ones).
class IDisplaySink {
 public:
  virtual ~IDisplaySink() = default;
  virtual void Polyline(const TOrigin& origin, const TStroke& stroke, std::span<const TPoint> points) = 0;
  virtual void Arc(const TOrigin& origin, const TStroke& stroke, const TArc& arc) = 0;
  // A filled polygon.
  virtual void Polygon(const TOrigin& origin, uint32_t color, std::span<const TPoint> points) = 0;
  virtual void Text(const TOrigin& origin, const TText& text) = 0;
  virtual void Image(const TOrigin& origin, const TImage& image) = 0;
  virtual void Dot(const TOrigin& origin, const TDot& dot) = 0;
  // Only when inserts are not expanded or are drawn by reference: an insert,
  // and the start of the contents of the definition (or the variant of a
  // definition) reached as number `definition`. Those contents follow the
  // top level, each definition's once.
  virtual void Insert(const TOrigin&, const TInsert&) {}
  virtual void Definition(int32_t) {}
};

// The solid pattern, and the lengths of a dashed one.
constexpr bool IsSolid(const TStroke& s) noexcept { return s.DashCount == 0; }

}  // namespace qm::view
