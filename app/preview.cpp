#include "preview.h"
#include "jwwmeaning.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <new>
#include <utility>

#include "failurereason.h"
#include "hiddenkinds.h"
#include "look.h"
#include "messages.h"
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

// The elements of the shown layers wholly outside the sheet, gathered by
// the side or corner of the sheet they lie beyond (what each draws, as the
// list holds it: an element that draws nothing is counted, not placed).
void FindStrays(const TJwwData& doc, TPreview& p) {
  view::TElementKinds kinds = view::ClassifyElements(doc);
  p.OffSheet = static_cast<uint64_t>(kinds.OffSheet);
  p.Auxiliary = kinds.Auxiliary;
  p.TemporaryPoints = kinds.TemporaryPoints;
  p.Kinds = kinds.Of;
  if (!p.Sheet || kinds.OffSheet == 0) return;
  std::vector<view::TBox> boxes(kinds.Of.size());
  for (size_t i = 0; i < p.Items.TopLevel(); ++i) {
    const view::TDisplayList::TEntry& e = p.Items[i];
    if (e.Origin.Element >= kinds.Of.size() || !(kinds.Of[e.Origin.Element] & view::OffSheetKind)) continue;
    view::TBox box;
    box.Add({e.Box[0], e.Box[1]});
    box.Add({e.Box[2], e.Box[3]});
    boxes[e.Origin.Element].Merge(box);
  }
  const double w = p.Sheet->Width / 2, h = p.Sheet->Height / 2;
  auto side = [](double low, double high, double half) { return low > half ? 1 : high < -half ? -1 : 0; };
  std::map<std::pair<int, int>, std::pair<uint64_t, view::TBox>> groups;
  for (const view::TBox& box : boxes) {
    if (box.Empty()) continue;
    int dx = side(box.Left, box.Right, w), dy = side(box.Bottom, box.Top, h);
    if (dx == 0 && dy == 0) {
      // A box that meets the sheet round what lies beside it (a slanting
      // line past a corner): the side its middle leans to.
      const double cx = (box.Left + box.Right) / 2 / w, cy = (box.Bottom + box.Top) / 2 / h;
      if (std::fabs(cx) >= std::fabs(cy))
        dx = cx < 0 ? -1 : 1;
      else
        dy = cy < 0 ? -1 : 1;
    }
    auto& [count, all] = groups[{dx, dy}];
    ++count;
    all.Merge(box);
  }
  for (const auto& [where, group] : groups) {
    const view::TBox& all = group.second;
    const view::TPoint middle{(all.Left + all.Right) / 2, (all.Bottom + all.Top) / 2};
    p.Strays.push_back({where.first, where.second, group.first,
                        {std::clamp(middle.X, -w, w), std::clamp(middle.Y, -h, h)}});
  }
}

}  // namespace

std::string PreviewLegend(const TPreview& p) {
  std::string legend = p.HiddenItems ? std::string(Msg::PreviewHidden) : std::string();
  if (!p.Complete) legend += Msg::PreviewPartial;
  if (p.Undrawable)
    legend += (legend.empty() ? "" : "　") + std::string(Msg::PreviewUndrawable) + std::to_string(p.Undrawable);
  return legend;
}

uint32_t KindColor(const TPreview& p, const view::TOrigin& o) {
  if (!o.Visible || o.Element >= p.Kinds.size()) return 0;
  return view::Look::KindColor(p.Kinds[o.Element], view::AuxiliaryKind, view::TemporaryPointKind, view::OffSheetKind);
}

std::vector<std::pair<std::string, uint32_t>> KindLegend(const TPreview& p) {
  std::vector<std::pair<std::string, uint32_t>> pieces;
  if (p.Auxiliary) pieces.emplace_back(std::string(Msg::AlsoAuxiliary) + " " + std::to_string(p.Auxiliary), view::Look::AuxiliaryColor);
  if (p.TemporaryPoints)
    pieces.emplace_back(std::string(Msg::AlsoTemporaryPoints) + " " + std::to_string(p.TemporaryPoints), view::Look::TemporaryColor);
  if (p.OffSheet) pieces.emplace_back(std::string(Msg::FoundOffSheet) + " " + std::to_string(p.OffSheet), view::Look::OffSheetColor);
  return pieces;
}

std::string StrayNote(const TPreview& p) {
  if (p.OffSheet == 0) return {};
  return std::string(Msg::PreviewOffSheet) + std::to_string(p.OffSheet) + std::string(Msg::PreviewOffSheetEnd);
}

bool IsPicked(const view::TOrigin& o, const std::optional<TLayerPick>& pick) noexcept {
  return pick && !o.Visible && o.LayerGroup == pick->Group && (pick->Layer < 0 || o.Layer == pick->Layer);
}

std::shared_ptr<const TPreview> MakePreview(const std::filesystem::path& source, TJwwData& doc) {
  auto preview = std::make_shared<TPreview>();
  preview->Source = source;
  try {
    // The refusals and the load of every road (no work folder: the images'
    // bytes are not kept).
    if (const std::optional<TFileResult> refused = LoadSource(source, doc)) {
      // In the window's words, as its list says it.
      preview->Error = refused->Outcome == TOutcome::NotFound ? std::string(Msg::RowNotFound)
                       : refused->Outcome == TOutcome::NotJww ? std::string(Msg::RowNotJww)
                       : refused->Failure                     ? FailureReason(*refused->Failure)
                                                              : std::string(Msg::PreviewFailed);
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
      // Fitted to the sheet: what lies beyond it is clipped at the window's
      // edge, and the elements wholly off it are marked at its edge.
      if (preview->Sheet) {
        preview->Extent.Add({-preview->Sheet->Width / 2, -preview->Sheet->Height / 2});
        preview->Extent.Add({preview->Sheet->Width / 2, preview->Sheet->Height / 2});
      } else {
        preview->Extent.Merge(preview->Items.Bounds());
      }
      FindStrays(doc, *preview);
    }
  } catch (const std::bad_alloc&) {
    preview->Items = {};
    preview->Error = std::string(Msg::PreviewNoMemory);
  } catch (const std::exception&) {
    preview->Items = {};
    preview->Error = std::string(Msg::PreviewFailed);
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
}

void TPreviewView::Resize(int width, int height) noexcept {
  Width_ = std::max(width, 1);
  Height_ = std::max(height, 1);
  const double w = std::max(Extent_.Width(), 1e-9), h = std::max(Extent_.Height(), 1e-9);
  Fit_ = Margin * std::min(Width_ / w, Height_ / h);
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

std::array<view::TPoint, 3> StrayMarker(const TPreviewView& view, const TStrays& s, double size) {
  const view::TPoint tip = view.ToPixels(s.Mark);
  // Outwards on the window (its y runs down), a corner's diagonally.
  const double length = std::hypot(s.Dx, s.Dy);
  const double ux = length > 0 ? s.Dx / length : 0, uy = length > 0 ? -s.Dy / length : 0;
  const view::TPoint base{tip.X - ux * size, tip.Y - uy * size};
  const double half = size * 0.6;
  return {tip, view::TPoint{base.X - uy * half, base.Y + ux * half}, view::TPoint{base.X + uy * half, base.Y - ux * half}};
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
