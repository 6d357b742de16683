// Bounding boxes of display items, in paper mm (the stroke's width not
// included). Points that are not finite are left out.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

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

}  // namespace qm::view
