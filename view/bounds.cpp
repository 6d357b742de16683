#include "bounds.h"
#include "jwwmeaning.h"

#include <algorithm>

namespace qm::view {

namespace {

using JwwMeaning::Pi;

// True when the parameter t lies on the arc's sweep.
bool OnSweep(double t, double start, double sweep) noexcept {
  const double lo = sweep >= 0 ? start : start + sweep;
  const double d = std::fmod(t - lo, 2 * Pi);
  return (d < 0 ? d + 2 * Pi : d) <= std::fabs(sweep);
}

}  // namespace

TBox BoundsOf(std::span<const TPoint> points) noexcept {
  TBox b;
  for (const TPoint& p : points) b.Add(p);
  return b;
}

TBox BoundsOf(const TArc& a) noexcept {
  TBox b;
  if (!IsFinite(a)) return b;
  const bool whole = a.Whole || std::fabs(a.Sweep) >= 2 * Pi;
  if (whole) {
    const double hx = std::hypot(a.U.X, a.V.X), hy = std::hypot(a.U.Y, a.V.Y);
    b.Add(TPoint{a.Center.X - hx, a.Center.Y - hy});
    b.Add(TPoint{a.Center.X + hx, a.Center.Y + hy});
    return b;
  }
  b.Add(a.At(a.Start));
  b.Add(a.At(a.Start + a.Sweep));
  // x is extreme where -Ux sin t + Vx cos t = 0, y where -Uy sin t + Vy cos t = 0.
  for (const double t0 : {std::atan2(a.V.X, a.U.X), std::atan2(a.V.Y, a.U.Y)})
    for (const double t : {t0, t0 + Pi})
      if (OnSweep(t, a.Start, a.Sweep)) b.Add(a.At(t));
  return b;
}

TBox BoundsOf(const TMatrix& m, double width, double height) noexcept {
  TBox b;
  for (const TPoint p : {TPoint{0, 0}, TPoint{width, 0}, TPoint{width, height}, TPoint{0, height}}) b.Add(m(p));
  return b;
}

bool IsFinite(std::span<const TPoint> points) noexcept {
  for (const TPoint& p : points)
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return false;
  return true;
}

bool IsFinite(const TArc& a) noexcept {
  return std::isfinite(a.Center.X) && std::isfinite(a.Center.Y) && std::isfinite(a.U.X) && std::isfinite(a.U.Y) &&
         std::isfinite(a.V.X) && std::isfinite(a.V.Y) && std::isfinite(a.Start) && std::isfinite(a.Sweep);
}

bool IsFinite(const TMatrix& m) noexcept {
  return std::isfinite(m.A) && std::isfinite(m.B) && std::isfinite(m.C) && std::isfinite(m.D) && std::isfinite(m.E) &&
         std::isfinite(m.F);
}

bool IsFinite(const TText& t) noexcept {
  return IsFinite(t.Frame) && std::isfinite(t.SizeX) && std::isfinite(t.SizeY) && std::isfinite(t.Spacing) &&
         std::isfinite(t.Width) && (t.SizeY == 0 || std::isfinite(t.SizeX / t.SizeY));  // its glyphs' stretch too
}

bool IsFinite(const TImage& i) noexcept {
  return IsFinite(i.Frame) && std::isfinite(i.Width) && std::isfinite(i.Height);
}

bool IsFinite(const TDot& d) noexcept {
  return std::isfinite(d.At.X) && std::isfinite(d.At.Y) && std::isfinite(d.Radius);
}

bool Within(const TBox& inner, const TBox& outer) noexcept {
  return inner.Empty() || (inner.Left >= outer.Left && inner.Right <= outer.Right && inner.Bottom >= outer.Bottom &&
                           inner.Top <= outer.Top);
}

namespace {

// A segment as its middle and half its run, both finite for any finite
// ends: the point at u (-1..1) is Mid + u Half.
struct THalves {
  TPoint Mid, Half;
  THalves(TPoint a, TPoint b) noexcept
      : Mid{a.X / 2 + b.X / 2, a.Y / 2 + b.Y / 2}, Half{b.X / 2 - a.X / 2, b.Y / 2 - a.Y / 2} {}
  TPoint At(double u) const noexcept { return {Mid.X + u * Half.X, Mid.Y + u * Half.Y}; }
};

// Where the segment p-q crosses the line x = v (axis 0) or y = v (axis 1).
TPoint Cross(TPoint p, TPoint q, int axis, double v) noexcept {
  const THalves s(p, q);
  const double mid = axis == 0 ? s.Mid.X : s.Mid.Y, half = axis == 0 ? s.Half.X : s.Half.Y;
  TPoint at = s.At(half == 0 ? 0 : std::clamp((v - mid) / half, -1.0, 1.0));
  (axis == 0 ? at.X : at.Y) = v;  // exactly on the edge
  return at;
}

}  // namespace

bool ClipSegment(TPoint& a, TPoint& b, const TBox& box) noexcept {
  if (box.Empty()) return false;
  const THalves s(a, b);
  double lo = -1, hi = 1;
  // The part where p u <= q.
  auto keep = [&](double p, double q) {
    if (p == 0) return q >= 0;
    const double r = q / p;
    if (p < 0) lo = std::max(lo, r);
    else hi = std::min(hi, r);
    return lo <= hi;
  };
  if (!keep(-s.Half.X, s.Mid.X - box.Left) || !keep(s.Half.X, box.Right - s.Mid.X) ||
      !keep(-s.Half.Y, s.Mid.Y - box.Bottom) || !keep(s.Half.Y, box.Top - s.Mid.Y))
    return false;
  if (hi < 1) b = s.At(hi);
  if (lo > -1) a = s.At(lo);
  // What rounding left a hair outside goes onto the edge.
  for (TPoint* p : {&a, &b}) {
    p->X = std::clamp(p->X, box.Left, box.Right);
    p->Y = std::clamp(p->Y, box.Bottom, box.Top);
  }
  return true;
}

std::vector<std::vector<TPoint>> ClipPolyline(std::span<const TPoint> points, const TBox& box) {
  std::vector<std::vector<TPoint>> runs;
  for (size_t i = 1; i < points.size(); ++i) {
    TPoint a = points[i - 1], b = points[i];
    if (!ClipSegment(a, b, box)) continue;
    if (runs.empty() || !(runs.back().back() == a && a == points[i - 1])) runs.push_back({a});
    runs.back().push_back(b);
  }
  return runs;
}

std::vector<TPoint> ClipPolygon(std::span<const TPoint> points, const TBox& box) {
  std::vector<TPoint> in(points.begin(), points.end()), out;
  if (box.Empty()) return {};
  // Against each edge in turn: x >= Left, x <= Right, y >= Bottom, y <= Top.
  for (int edge = 0; edge < 4 && !in.empty(); ++edge) {
    const int axis = edge / 2;
    const double v = edge == 0 ? box.Left : edge == 1 ? box.Right : edge == 2 ? box.Bottom : box.Top;
    auto inside = [&](TPoint p) {
      const double c = axis == 0 ? p.X : p.Y;
      return edge % 2 == 0 ? c >= v : c <= v;
    };
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
      const TPoint p = in[i], q = in[(i + 1) % in.size()];
      if (inside(p)) {
        out.push_back(p);
        if (!inside(q)) out.push_back(Cross(p, q, axis, v));
      } else if (inside(q)) {
        out.push_back(Cross(p, q, axis, v));
      }
    }
    std::swap(in, out);
  }
  return in.size() >= 3 ? in : std::vector<TPoint>{};
}

std::vector<std::pair<double, double>> ArcPartsWithin(const TArc& a, const TBox& box) {
  const bool whole = a.Whole || std::fabs(a.Sweep) >= 2 * Pi;
  const double from = whole ? 0 : std::min(a.Start, a.Start + a.Sweep);
  const double to = whole ? 2 * Pi : std::max(a.Start, a.Start + a.Sweep);
  std::vector<double> cuts = {from, to};
  // x(t) = Cx + Ux cos t + Vx sin t = Cx + r cos(t - phase) meets each edge
  // where cos(t - phase) = (edge - Cx) / r.
  const double edges[2][2] = {{box.Left, box.Right}, {box.Bottom, box.Top}};
  for (int axis = 0; axis < 2; ++axis) {
    const double c = axis == 0 ? a.Center.X : a.Center.Y, u = axis == 0 ? a.U.X : a.U.Y, v = axis == 0 ? a.V.X : a.V.Y;
    const double r = std::hypot(u, v), phase = std::atan2(v, u);
    if (!(r > 0)) continue;
    for (const double edge : edges[axis]) {
      const double k = (edge - c) / r;
      if (!(std::fabs(k) <= 1)) continue;
      const double d = std::acos(k);
      for (double t : {phase + d, phase - d}) {
        t = from + std::fmod(std::fmod(t - from, 2 * Pi) + 2 * Pi, 2 * Pi);
        if (t > from && t < to) cuts.push_back(t);
      }
    }
  }
  std::sort(cuts.begin(), cuts.end());
  std::vector<std::pair<double, double>> parts;
  for (size_t i = 1; i < cuts.size(); ++i) {
    if (!(cuts[i] > cuts[i - 1])) continue;
    const TPoint mid = a.At((cuts[i - 1] + cuts[i]) / 2);
    if (!(mid.X >= box.Left && mid.X <= box.Right && mid.Y >= box.Bottom && mid.Y <= box.Top)) continue;
    if (!parts.empty() && parts.back().second == cuts[i - 1]) parts.back().second = cuts[i];
    else parts.emplace_back(cuts[i - 1], cuts[i]);
  }
  // A whole arc within at 0 and at 2 pi is one part across its start.
  if (whole && parts.size() > 1 && parts.front().first == from && parts.back().second == to) {
    parts.front().first = parts.back().first - 2 * Pi;
    parts.pop_back();
  }
  return parts;
}

}  // namespace qm::view
