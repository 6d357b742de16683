#include "preview.h"
#include "jwwmeaning.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>

#include "render.h"
#include "road.h"

namespace qm {

namespace {

using JwwMeaning::Pi;
// What one preview may hold: enough for any drawing a person reads on a
// screen, bounded for the drawings of nested inserts that would make more.
constexpr uint64_t PreviewBudget = 4'000'000;
constexpr double Margin = 0.95;  // of the window the fitted picture takes

// The hidden items of the top level counted on their way into the list.
class TCounting : public view::IDisplaySink {
 public:
  TCounting(view::IDisplaySink& to, uint64_t& hidden) : To_(to), Hidden_(hidden) {}
  void Polyline(const view::TOrigin& o, const view::TStroke& s, std::span<const view::TPoint> p) override {
    Count(o);
    To_.Polyline(o, s, p);
  }
  void Arc(const view::TOrigin& o, const view::TStroke& s, const view::TArc& a) override {
    Count(o);
    To_.Arc(o, s, a);
  }
  void Polygon(const view::TOrigin& o, uint32_t c, std::span<const view::TPoint> p) override {
    Count(o);
    To_.Polygon(o, c, p);
  }
  void Text(const view::TOrigin& o, const view::TText& t) override {
    Count(o);
    To_.Text(o, t);
  }
  void Image(const view::TOrigin& o, const view::TImage& i) override {
    Count(o);
    To_.Image(o, i);
  }
  void Dot(const view::TOrigin& o, const view::TDot& d) override {
    Count(o);
    To_.Dot(o, d);
  }
  void Insert(const view::TOrigin& o, const view::TInsert& i) override {
    Count(o);
    To_.Insert(o, i);
  }
  void Definition(int32_t definition) override {
    Contents_ = true;
    To_.Definition(definition);
  }

 private:
  void Count(const view::TOrigin& o) {
    if (!o.Visible && !Contents_) ++Hidden_;
  }
  view::IDisplaySink& To_;
  uint64_t& Hidden_;
  bool Contents_ = false;  // the definitions' contents have begun
};

}  // namespace

std::shared_ptr<const TPreview> MakePreview(const std::filesystem::path& source, TJwwData& doc) {
  auto preview = std::make_shared<TPreview>();
  preview->Source = source;
  try {
    // The refusals and the load of every road (no work folder: the images'
    // bytes are not kept).
    if (const std::optional<TFileResult> refused = LoadSource(source, doc)) {
      preview->Error = ProblemText(*refused);
    } else {
      view::TRenderOptions options;
      options.Layers = view::TLayers::All;
      options.Budget = PreviewBudget;
      options.Drawable = true;
      options.ReferenceInserts = true;
      TCounting counting(preview->Items, preview->HiddenItems);
      const view::TRenderResult drawn = view::Render(doc, counting, options);
      preview->Complete = drawn.Complete();
      preview->Undrawable = drawn.Undrawable;
      preview->Sheet = view::Sheet(doc);
      preview->Background = view::Background(doc);
      if (preview->Sheet) {
        preview->Extent.Add({-preview->Sheet->Width / 2, -preview->Sheet->Height / 2});
        preview->Extent.Add({preview->Sheet->Width / 2, preview->Sheet->Height / 2});
      }
      preview->Extent.Merge(preview->Items.Bounds());
    }
  } catch (const std::bad_alloc&) {
    preview->Items = {};
    preview->Error = "not enough memory for the picture";
  } catch (const std::exception& e) {
    preview->Items = {};
    preview->Error = e.what();
  }
  doc.ClearDocument();
  return preview;
}

TPreviewView::TPreviewView(const view::TBox& extent, int width, int height) : Extent_(extent) {
  if (Extent_.Empty()) {
    Extent_ = {};
    Extent_.Add({-1, -1});
    Extent_.Add({1, 1});
  }
  Center_ = {(Extent_.Left + Extent_.Right) / 2, (Extent_.Bottom + Extent_.Top) / 2};
  Resize(width, height);
  // The fitted scale follows the first size; later sizes keep it (Resize).
  const double w = std::max(Extent_.Width(), 1e-9), h = std::max(Extent_.Height(), 1e-9);
  Fit_ = Margin * std::min(std::max(width, 1) / w, std::max(height, 1) / h);
}

void TPreviewView::Resize(int width, int height) noexcept {
  Width_ = std::max(width, 1);
  Height_ = std::max(height, 1);
}

view::TPoint TPreviewView::ToPixels(view::TPoint mm) const noexcept {
  return {Width_ / 2.0 + (mm.X - Center_.X) * Scale(), Height_ / 2.0 - (mm.Y - Center_.Y) * Scale()};
}

view::TPoint TPreviewView::ToPaper(view::TPoint px) const noexcept {
  return {Center_.X + (px.X - Width_ / 2.0) / Scale(), Center_.Y - (px.Y - Height_ / 2.0) / Scale()};
}

view::TBox TPreviewView::Visible() const noexcept {
  view::TBox box;
  box.Add(ToPaper({0, 0}));
  box.Add(ToPaper({static_cast<double>(Width_), static_cast<double>(Height_)}));
  return box;
}

void TPreviewView::ZoomAt(double factor, view::TPoint pixel) noexcept {
  const view::TPoint held = ToPaper(pixel);
  Zoom_ = std::clamp(Zoom_ * factor, MinZoom, MaxZoom);
  // The held point goes back under the pixel.
  Center_ = {held.X - (pixel.X - Width_ / 2.0) / Scale(), held.Y + (pixel.Y - Height_ / 2.0) / Scale()};
}

void TPreviewView::Pan(double dx, double dy) noexcept {
  Center_ = {Center_.X - dx / Scale(), Center_.Y + dy / Scale()};
}

std::vector<view::TPoint> FlattenArc(const view::TArc& arc, double pixelsPerMm) {
  const double sweep = arc.Whole ? 2 * Pi : std::clamp(arc.Sweep, -2 * Pi, 2 * Pi);
  const double radius = std::max(std::hypot(arc.U.X, arc.U.Y), std::hypot(arc.V.X, arc.V.Y)) * pixelsPerMm;
  double step = 2 * Pi;  // one segment a turn for an arc smaller than the tolerance
  if (radius > 0.25) step = 2 * std::acos(1 - 0.25 / radius);
  const int segments =
      std::isfinite(sweep) ? std::clamp(static_cast<int>(std::ceil(std::fabs(sweep) / step)), 1, 4096) : 1;
  std::vector<view::TPoint> points;
  points.reserve(static_cast<size_t>(segments) + 1);
  for (int k = 0; k <= segments; ++k) points.push_back(arc.At(arc.Start + sweep * k / segments));
  return points;
}

}  // namespace qm
