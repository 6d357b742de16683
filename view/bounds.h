// Bounding boxes of display items, in paper mm (the stroke's width not
// included). Points that are not finite are left out.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <utility>
#include <vector>

#include "display.h"

namespace qm::view {

struct TBox {
  double Left = std::numeric_limits<double>::infinity(), Bottom = std::numeric_limits<double>::infinity();
  double Right = -std::numeric_limits<double>::infinity(), Top = -std::numeric_limits<double>::infinity();

  bool Empty() const noexcept { return !(Left <= Right && Bottom <= Top); }
  double Width() const noexcept { return Empty() ? 0 : Right - Left; }
  double Height() const noexcept { return Empty() ? 0 : Top - Bottom; }
  void Add(TPoint p) noexcept {
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return;
    Left = std::min(Left, p.X);
    Right = std::max(Right, p.X);
    Bottom = std::min(Bottom, p.Y);
    Top = std::max(Top, p.Y);
  }
  void Merge(const TBox& b) noexcept {
    if (b.Empty()) return;
    Add(TPoint{b.Left, b.Bottom});
    Add(TPoint{b.Right, b.Top});
  }
  bool Intersects(const TBox& b) const noexcept {
    return !Empty() && !b.Empty() && Left <= b.Right && b.Left <= Right && Bottom <= b.Top && b.Bottom <= Top;
  }
  bool operator==(const TBox&) const = default;
};

TBox BoundsOf(std::span<const TPoint> points) noexcept;
// The exact extent of the arc (its extreme points where they lie on it).
TBox BoundsOf(const TArc& arc) noexcept;
// The rectangle (0, 0)-(width, height) of a frame.
TBox BoundsOf(const TMatrix& frame, double width, double height) noexcept;
// A text's cell: its run, SizeY high.
inline TBox BoundsOf(const TText& t) noexcept { return BoundsOf(t.Frame, t.Width, t.SizeY); }
inline TBox BoundsOf(const TImage& i) noexcept { return BoundsOf(i.Frame, i.Width, i.Height); }
inline TBox BoundsOf(const TDot& d) noexcept {
  TBox b;
  b.Add(TPoint{d.At.X - d.Radius, d.At.Y - d.Radius});
  b.Add(TPoint{d.At.X + d.Radius, d.At.Y + d.Radius});
  return b;
}

// True when every number of an item is finite (what a backend can draw).
bool IsFinite(std::span<const TPoint> points) noexcept;
bool IsFinite(const TArc& arc) noexcept;
bool IsFinite(const TMatrix& m) noexcept;
bool IsFinite(const TText& text) noexcept;  // its frame, sizes and the stretch of its glyphs
bool IsFinite(const TImage& image) noexcept;
bool IsFinite(const TDot& dot) noexcept;

// Cutting items to a box: exact for any finite numbers, however large
// (the differences of numbers near the largest double are never formed).
// True when inner lies in outer (an empty inner lies anywhere).
bool Within(const TBox& inner, const TBox& outer) noexcept;
// The part of the segment a-b within the box, in a and b; false when none.
bool ClipSegment(TPoint& a, TPoint& b, const TBox& box) noexcept;
// The parts of a polyline within the box, each a polyline of its own.
std::vector<std::vector<TPoint>> ClipPolyline(std::span<const TPoint> points, const TBox& box);
// The part of a polygon within the box (empty when none).
std::vector<TPoint> ClipPolygon(std::span<const TPoint> points, const TBox& box);
// The parameter ranges (from, to; from < to) of an arc's parts within the
// box, in its sweep's order; a whole arc runs from 0 to 2 pi.
std::vector<std::pair<double, double>> ArcPartsWithin(const TArc& arc, const TBox& box);

}  // namespace qm::view
