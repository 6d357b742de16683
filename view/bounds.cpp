#include "bounds.h"

namespace qm::view {

namespace {

constexpr double Pi = 3.14159265358979323846;

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

}  // namespace qm::view
