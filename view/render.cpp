#include "render.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>
#include <vector>

#include "Func_.h"
#include "bounds.h"
#include "jwwnormalise.h"

namespace qm::view {

namespace {

constexpr size_t PenCount = 357;  // colours 0..356
// An arc that crosses the reach with a radius above this (mm) is drawn as
// polylines of its parts within, its chords no further than ChordTolerance
// from it: an arc command of such numbers is more than viewers draw right.
constexpr double LargestArc = 1e7;
constexpr double ChordTolerance = 0.01;
constexpr int MostChords = 4096;
const TBox ReachBox{-Reach, -Reach, Reach, Reach};

// How each pen colour and pen style of a drawing looks, read from the header
// as the writer will write it (so that a drawing and its output look alike
// whatever the writer clamps), and which of the 256 layers are shown.
class TLook {
 public:
  explicit TLook(const TJwwData& d) {
    if (d.HasHeaderArrays()) {
      const TJwwHeaderSection h = JwwNormalise::HeaderSection(d, d.Header.Version);
      for (size_t c = 0; c < h.PenSettings.size(); ++c) {
        const TEntJwwPenSetting& p = h.PenSettings[c];
        Pens_[c] = {JwwMeaning::Rgb(p.ScreenColor), JwwMeaning::WidthMm(p.PrinterWidth), p.PointRadius};
      }
      for (size_t c = 101; c < PenCount && c - 100 < h.ColorsEx.size(); ++c) {
        const TEntJwwColorExNo& x = h.ColorsEx[c - 100];
        Pens_[c] = {JwwMeaning::Rgb(x.ScreenColor), JwwMeaning::WidthMm(x.PrinterWidth), x.PointRadius};
      }
      for (size_t s = 0; s < Strokes_.size(); ++s) {
        const auto style = static_cast<uint8_t>(s);
        JwwMeaning::TDashes dashes = JwwMeaning::StandardDashes(style);
        if (JwwMeaning::IsExtendedLineType(style) && static_cast<size_t>(style - 30) < h.LineTypesEx.size())
          dashes = JwwMeaning::ExtendedDashes(h.LineTypesEx[static_cast<size_t>(style - 30)]);
        Strokes_[s].LineType = style;
        Strokes_[s].DashCount = dashes.Count;
        Strokes_[s].Dashes = dashes.Length;
      }
      for (size_t g = 0; g < 16; ++g)
        for (size_t l = 0; l < 16; ++l)
          Shown_[g * 16 + l] = JwwMeaning::IsShown(d.LayerGroups[g].State, d.Layers[g * 16 + l].State);
    } else {
      Shown_.fill(true);
    }
  }

  struct TPen {
    uint32_t Color = 0;
    double Width = 0, PointRadius = 0;
  };
  const TPen& Pen(uint16_t color) const noexcept { return Pens_[color < PenCount ? color : 0]; }
  // The stroke of an element header that the writer's rules have resolved.
  TStroke Stroke(const TEntJwwEntityHeader& h) const noexcept {
    TStroke s = Strokes_[h.PenStyle];
    const TPen& pen = Pen(h.PenColor);
    s.Color = pen.Color;
    s.Width = h.PenWidth ? JwwMeaning::WidthMm(h.PenWidth) : pen.Width;
    return s;
  }
  bool Shown(size_t layer) const noexcept { return Shown_[layer]; }

 private:
  std::array<TPen, PenCount> Pens_{};
  std::array<TStroke, 256> Strokes_{};
  std::array<bool, 256> Shown_{};
};

TMatrix Placement(const TEntJwwBlock& b) {
  return TMatrix::Translate(b.X, b.Y) * TMatrix::Rotate(b.Angle) * TMatrix::Scale(b.ScaleX, b.ScaleY);
}

// The placement of an insert whose scale is the same along x and y (either
// mirrored or not), inside contents made at scale `outer`, split into the
// scale its definition is made at and what turns, mirrors and moves it.
// Nothing for any other insert.
struct TRigid {
  double Scale = 1;
  TMatrix Use;
};
std::optional<TRigid> Rigid(const TEntJwwBlock& b, double outer) {
  const double s = std::fabs(b.ScaleX);
  if (!(s > 0) || !std::isfinite(s) || s != std::fabs(b.ScaleY)) return std::nullopt;
  return TRigid{outer * s, TMatrix::Translate(outer * b.X, outer * b.Y) * TMatrix::Rotate(b.Angle) *
                               TMatrix::Scale(b.ScaleX < 0 ? -1 : 1, b.ScaleY < 0 ? -1 : 1)};
}

// The box that holds a box's image under a map; false when a corner of the
// image is not finite.
bool MappedBox(const TMatrix& m, const TBox& b, TBox& out) {
  out = {};
  if (b.Empty()) return true;
  const TPoint corners[4] = {{b.Left, b.Bottom}, {b.Right, b.Bottom}, {b.Left, b.Top}, {b.Right, b.Top}};
  for (const TPoint p : corners) {
    const TPoint q = m(p);
    if (!std::isfinite(q.X) || !std::isfinite(q.Y)) return false;
    out.Add(q);
  }
  return true;
}

// What a definition's contents are, found once: whether everything they
// make is finite and every insert among them could be drawn by reference
// (Clean), how many levels of definitions they take (itself included), and
// a box that holds them, with points as their centres and the largest
// point's radius apart (a point keeps its radius at any scale).
struct TDefinitionInfo {
  uint8_t State = 0;  // 0 not measured, 1 being measured, 2 measured
  bool Clean = false;
  uint32_t Height = 0;
  TBox Box;
  double DotRadius = 0;
};

// A definition made at one scale.
struct TVariant {
  int32_t Definition = -1;  // BlockDefs index
  double Scale = 1;
  bool Visible = true;  // the visibility of the first insert that reached it
};

class TRenderer {
 public:
  TRenderer(const TJwwData& d, IDisplaySink& sink, const TRenderOptions& o)
      : D_(d), Sink_(sink), O_(o), Look_(d), Numbers_(d), Version_(d.Header.Version) {
    if (O_.WrittenNumbers) {
      for (size_t i = 0; i < D_.WrittenBlockDefEntries(); ++i) {
        const TEntJwwBlockDef& def = D_.BlockDefs[i];
        if (!def.Used || def.NewNumber < 0) continue;
        const auto n = static_cast<size_t>(def.NewNumber);
        if (WrittenDefs_.size() <= n) WrittenDefs_.resize(n + 1, -1);
        WrittenDefs_[n] = static_cast<int32_t>(i);
      }
    }
    if (O_.ExpandInserts) OnPath_.assign(D_.BlockDefs.size(), false);
    else Ordinal_.assign(D_.BlockDefs.size(), -1);
    if (References_) Defs_.resize(D_.BlockDefs.size());
  }

  TRenderResult Run() {
    const TMatrix identity;
    const size_t n = D_.OrderEntries();
    for (size_t i = 0; i < n && !Stopped_; ++i) {
      const TEntJwwOrderItem& item = D_.EntityOrder[i];
      const TEntJwwEntityHeader* h = D_.HeaderOf(item.Kind, item.Index);
      if (!h) continue;
      const size_t layer = JwwMeaning::LayerIndex(*h);
      const bool shown = Look_.Shown(layer);
      if ((O_.Layers == TLayers::Shown && !shown) || (O_.Layers == TLayers::Hidden && shown)) continue;
      if (O_.LeaveOut && i < O_.Kinds.size() && (O_.Kinds[i] & O_.LeaveOut)) continue;
      const TOrigin origin{static_cast<uint32_t>(i), static_cast<uint8_t>(layer / 16), static_cast<uint8_t>(layer % 16),
                           O_.AllShown || shown};
      const auto k = static_cast<size_t>(item.Index);
      Lost_ = false;
      if (item.Kind != KindBlock) Element(D_, item.Kind, k, identity, origin);
      else if (References_) Reference(D_.BlockInserts[k], 1, origin);
      else if (O_.ExpandInserts) Expand(D_.BlockInserts[k], identity, origin);
      else Insert(D_.BlockInserts[k], origin);
      if (Lost_) ++R_.Undrawable;
    }
    if (!O_.ExpandInserts) Definitions();
    if (References_) Variants();
    return R_;
  }

 private:
  // Spends one unit of the budget on an item.
  bool Item() {
    if (!Spend(1)) return false;
    ++R_.Items;
    return true;
  }
  bool Spend(uint64_t n) {
    if (Stopped_) return false;
    if (n > O_.Budget - Used_) {
      R_.BudgetCut = Stopped_ = true;
      return false;
    }
    Used_ += n;
    return true;
  }

  // The definition an insert of that number places: the first of that
  // number; by written numbers, the one the number the writer gives the
  // insert names among the definitions written.
  int32_t Resolve(int32_t number) const {
    if (!O_.WrittenNumbers) return Numbers_.First().Find(number);
    const int32_t written = Numbers_.Map(number);
    return written >= 0 && static_cast<size_t>(written) < WrittenDefs_.size()
               ? WrittenDefs_[static_cast<size_t>(written)]
               : -1;
  }

  TEntJwwEntityHeader Resolved(const TEntJwwEntityHeader& h, int32_t kind) const {
    return JwwNormalise::Header(h, kind, Version_);
  }

  void Element(const TEntJwwElementLists& lists, int32_t kind, size_t k, const TMatrix& m, const TOrigin& o) {
    switch (kind) {
      case KindSen: Line(lists.Lines[k], m, o); break;
      case KindEnko: Arc(lists.Arcs[k], m, o); break;
      case KindTen: Point(lists.Points[k], m, o); break;
      case KindMoji: Text(lists.Texts[k], m, o); break;
      case KindSunpou: Dimension(lists.Dimensions[k], m, o); break;
      case KindSolid: Solid(lists.Solids[k], m, o); break;
      default: break;
    }
  }

  // Left out of a print: auxiliary elements.
  bool Unprinted(const TEntJwwEntityHeader& h, int32_t kind) const {
    return Print_ && JwwMeaning::IsAuxiliary(h, kind, Version_);
  }

  void Line(const TEntJwwSen& e, const TMatrix& m, const TOrigin& o) {
    if (Unprinted(e.Header, KindSen)) return;
    const TPoint points[2] = {m({e.StartX, e.StartY}), m({e.EndX, e.EndY})};
    PutPolyline(o, Look_.Stroke(Resolved(e.Header, KindSen)), points);
  }

  void Arc(const TEntJwwEnko& e, const TMatrix& m, const TOrigin& o) {
    if (Unprinted(e.Header, KindEnko)) return;
    const double c = e.TiltAngle == 0 ? 1 : std::cos(e.TiltAngle), s = e.TiltAngle == 0 ? 0 : std::sin(e.TiltAngle);
    const double a = e.Radius, b = e.Radius * e.Flatness;
    TArc arc;
    arc.Center = m({e.CenterX, e.CenterY});
    arc.U = m.Linear({a * c, a * s});
    arc.V = m.Linear({-b * s, b * c});
    arc.Start = e.StartAngle;
    arc.Sweep = e.ArcAngle;
    arc.Whole = JwwMeaning::IsWholeEllipse(e.FullCircle);
    PutArc(o, Look_.Stroke(Resolved(e.Header, KindEnko)), arc);
  }

  void Point(const TEntJwwTen& e, const TMatrix& m, const TOrigin& o) {
    const bool temporary = JwwMeaning::IsTemporaryPoint(e);
    if ((Print_ && temporary) || Unprinted(e.Header, KindTen)) return;
    const TLook::TPen& pen = Look_.Pen(Resolved(e.Header, KindTen).PenColor);
    PutDot(o, {m({e.X, e.Y}), pen.PointRadius, pen.Color, temporary});
  }

  void Text(const TEntJwwMoji& e, const TMatrix& m, const TOrigin& o) {
    if (Unprinted(e.Header, KindMoji)) return;
    const TJwwString* text = &e.Text;
    const TJwwString* font = &e.FontName;
    TJwwString cleanText, cleanFont;
    if (O_.CleanTexts) {
      if (Func_::HasCaretMOrControlChars(e.Text)) text = &(cleanText = Func_::RemoveCaretMOf(e.Text));
      if (Func_::HasCaretMOrControlChars(e.FontName)) font = &(cleanFont = Func_::RemoveCaretMOf(e.FontName));
    }
    const TMatrix frame = m * TMatrix::Translate(e.StartX, e.StartY) * TMatrix::Rotate(JwwMeaning::TextAngle(e.Angle));
    const uint32_t color = Look_.Pen(Resolved(e.Header, KindMoji).PenColor).Color;
    if (const std::optional<JwwMeaning::TImageRef> image = JwwMeaning::ImageRef(*text)) {
      PutImage(o, {frame, image->Width, image->Height, color, &image->Name});
      return;
    }
    const JwwMeaning::TTextRun run = JwwMeaning::TextRun(*text, e.SizeX, e.Spacing);
    PutText(o, {frame, e.SizeX, e.SizeY, e.Spacing, run.Width, color, font, text});
  }

  void Dimension(const TEntJwwSunpou& e, const TMatrix& m, const TOrigin& o) {
    if (Unprinted(e.Header, KindSunpou)) return;
    Line(e.Line, m, o);
    Text(e.ValueText, m, o);
    if (!JwwMeaning::HasDimensionExtension(Version_)) return;
    Line(e.AuxLine1, m, o);
    Line(e.AuxLine2, m, o);
    for (const TEntJwwTen* p : {&e.Point1, &e.Point2, &e.Point3, &e.Point4}) Point(*p, m, o);
  }

  void Solid(const TEntJwwSolid& e, const TMatrix& m, const TOrigin& o) {
    if (Unprinted(e.Header, KindSolid)) return;
    const TEntJwwEntityHeader h = Resolved(e.Header, KindSolid);
    const uint32_t color = h.PenColor == JwwMeaning::SolidOwnColor ? JwwMeaning::Rgb(e.Color) : Look_.Pen(h.PenColor).Color;
    const TPoint corners[4] = {m({e.StartX, e.StartY}), m({e.EndX, e.EndY}), m({e.Point2X, e.Point2Y}),
                               m({e.Point3X, e.Point3Y})};
    PutPolygon(o, color, corners);
  }

  // ---------------------------------------------------------------------
  // Every item passes here on its way to the sink: measured (a definition's
  // contents), or checked against the reach (Drawable), left out when it
  // lies wholly outside the sheet (print), and counted against the budget.
  // The contents of a definition drawn by reference are not checked: the
  // insert that placed them was, with all it places.

  bool Checked() const noexcept { return Drawable_ && !InVariant_; }
  bool Sheeted() const noexcept { return Print_ && !InVariant_; }
  void Lose() noexcept { Lost_ = true; }
  // A box that reaches both onto the sheet and off it, where that matters.
  bool Across(const TBox& box) const noexcept {
    return O_.ExpandAcrossSheet && !InVariant_ && !SheetBox_.Empty() && box.Intersects(SheetBox_) &&
           !Within(box, SheetBox_);
  }
  bool OffSheet(const TBox& box) const noexcept {
    return Sheeted() && JwwMeaning::IsOutsideSheet(Sheet_, box.Left, box.Bottom, box.Right, box.Top);
  }
  // An item's box is worked out only for a rule that asks for it.
  template <class T>
  bool OffSheet(const T& item) const {
    return Sheeted() && OffSheet(BoundsOf(item));
  }
  void Measure(bool finite, const TBox& box) {
    Measured_.Clean = Measured_.Clean && finite;
    Measured_.Box.Merge(box);
  }

  void PutPolyline(const TOrigin& o, const TStroke& s, std::span<const TPoint> points) {
    if (Measuring_) return Measure(IsFinite(points), BoundsOf(points));
    if (Checked()) {
      if (!IsFinite(points)) return Lose();
      if (!Within(BoundsOf(points), ReachBox)) {
        const std::vector<std::vector<TPoint>> runs = ClipPolyline(points, ReachBox);
        if (runs.empty()) return Lose();
        for (const std::vector<TPoint>& run : runs) DrawPolyline(o, s, run);
        return;
      }
    }
    DrawPolyline(o, s, points);
  }
  void DrawPolyline(const TOrigin& o, const TStroke& s, std::span<const TPoint> points) {
    if (!OffSheet(points) && Item()) Sink_.Polyline(o, s, points);
  }

  void PutArc(const TOrigin& o, const TStroke& s, const TArc& a) {
    if (Measuring_) return Measure(IsFinite(a), BoundsOf(a));
    if (Checked()) {
      if (!IsFinite(a)) return Lose();
      const TBox box = BoundsOf(a);
      if (!Within(box, ReachBox)) {
        const std::vector<std::pair<double, double>> parts =
            box.Intersects(ReachBox) ? ArcPartsWithin(a, ReachBox) : std::vector<std::pair<double, double>>{};
        if (parts.empty()) return Lose();
        const double radius = std::max(std::hypot(a.U.X, a.U.Y), std::hypot(a.V.X, a.V.Y));
        for (const auto& [from, to] : parts) {
          if (radius <= LargestArc) {
            TArc part = a;
            part.Whole = false;
            part.Start = from;
            part.Sweep = to - from;
            DrawArc(o, s, part);
            continue;
          }
          const double step = 2 * std::acos(1 - ChordTolerance / radius);
          const int chords = std::clamp(static_cast<int>(std::ceil((to - from) / step)), 1, MostChords);
          std::vector<TPoint> points;
          for (int k = 0; k <= chords; ++k) {
            const TPoint p = a.At(from + (to - from) * k / chords);
            points.push_back({std::clamp(p.X, -Reach, Reach), std::clamp(p.Y, -Reach, Reach)});
          }
          DrawPolyline(o, s, points);
        }
        return;
      }
    }
    DrawArc(o, s, a);
  }
  void DrawArc(const TOrigin& o, const TStroke& s, const TArc& a) {
    if (!OffSheet(a) && Item()) Sink_.Arc(o, s, a);
  }

  void PutPolygon(const TOrigin& o, uint32_t color, std::span<const TPoint> points) {
    if (Measuring_) return Measure(IsFinite(points), BoundsOf(points));
    std::vector<TPoint> clipped;
    if (Checked()) {
      if (!IsFinite(points)) return Lose();
      if (!Within(BoundsOf(points), ReachBox)) {
        clipped = ClipPolygon(points, ReachBox);
        if (clipped.empty()) return Lose();
        points = clipped;
      }
    }
    if (!OffSheet(points) && Item()) Sink_.Polygon(o, color, points);
  }

  // Texts, images and points cannot be cut: each is drawn whole or not at all.
  template <class T>
  bool Whole(const T& item) {
    if (!Checked()) return !OffSheet(item);
    const TBox box = BoundsOf(item);
    if (!IsFinite(item) || !Within(box, ReachBox)) {
      Lose();
      return false;
    }
    return !OffSheet(box);
  }
  void PutText(const TOrigin& o, const TText& t) {
    if (Measuring_) return Measure(IsFinite(t), BoundsOf(t));
    if (Whole(t) && Item()) Sink_.Text(o, t);
  }
  void PutImage(const TOrigin& o, const TImage& i) {
    if (Measuring_) return Measure(IsFinite(i), BoundsOf(i));
    if (Whole(i) && Item()) Sink_.Image(o, i);
  }
  void PutDot(const TOrigin& o, const TDot& d) {
    if (Measuring_) {
      Measured_.DotRadius = std::max(Measured_.DotRadius, std::fabs(d.Radius));
      TBox centre;
      centre.Add(d.At);
      return Measure(IsFinite(d), centre);
    }
    if (Whole(d) && Item()) Sink_.Dot(o, d);
  }

  // An insert and, depth first, everything it places: a definition among its
  // own ancestors is not placed again, nor one nested deeper than MaxDepth.
  // A placement costs one unit of the budget for every element its
  // definition holds, so that definitions of many elements that make no
  // items cannot make the walk endless either.
  void Expand(const TEntJwwBlock& insert, const TMatrix& outer, const TOrigin& o) {
    Enter(insert, outer);
    while (!Path_.empty() && !Stopped_) {
      TFrame& f = Path_.back();
      const TEntJwwBlockDef& def = D_.BlockDefs[static_cast<size_t>(f.Definition)];
      if (f.Next >= def.OrderEntries()) {
        OnPath_[static_cast<size_t>(f.Definition)] = false;
        Path_.pop_back();
        continue;
      }
      const TEntJwwOrderItem item = def.Order[f.Next++];
      const TEntJwwElementLists& lists = def.Lists();
      if (!lists.HeaderOf(item.Kind, item.Index)) continue;
      const TMatrix m = f.Placement;  // Enter may move the path's frames
      const auto k = static_cast<size_t>(item.Index);
      if (item.Kind == KindBlock) Enter(lists.BlockInserts[k], m);
      else Element(lists, item.Kind, k, m, o);
    }
    for (const TFrame& f : Path_) OnPath_[static_cast<size_t>(f.Definition)] = false;
    Path_.clear();
  }

  void Enter(const TEntJwwBlock& insert, const TMatrix& outer) {
    const int32_t def = Resolve(insert.BlockNumber);
    if (def < 0) {
      ++R_.Unresolved;
    } else if (Path_.size() >= O_.MaxDepth) {
      ++R_.DepthCuts;
    } else if (OnPath_[static_cast<size_t>(def)]) {
      ++R_.CycleCuts;
    } else if (Spend(std::max<uint64_t>(1, D_.BlockDefs[static_cast<size_t>(def)].OrderEntries()))) {
      ++R_.Placements;
      OnPath_[static_cast<size_t>(def)] = true;
      Path_.push_back({def, 0, outer * Placement(insert)});
    }
  }

  // An insert as an item: its definition by the order the walk first reached it.
  void Insert(const TEntJwwBlock& insert, const TOrigin& o) {
    const int32_t def = Resolve(insert.BlockNumber);
    int32_t ordinal = -1;
    if (def < 0) {
      ++R_.Unresolved;
    } else {
      int32_t& known = Ordinal_[static_cast<size_t>(def)];
      if (known < 0) {
        known = static_cast<int32_t>(Reached_.size());
        Reached_.push_back(def);
      }
      ordinal = known;
    }
    if (Item()) Sink_.Insert(o, {ordinal, Placement(insert)});
  }

  // The contents of each definition reached, once, in the order reached; the
  // inserts among them reach further ones. Their items take the origin of
  // their place in the definition, on no layer of their own.
  void Definitions() {
    const TMatrix identity;
    for (size_t r = 0; r < Reached_.size() && !Stopped_; ++r) {
      Sink_.Definition(static_cast<int32_t>(r));
      const TEntJwwBlockDef& def = D_.BlockDefs[static_cast<size_t>(Reached_[r])];
      const TEntJwwElementLists& lists = def.Lists();
      for (size_t i = 0; i < def.OrderEntries() && !Stopped_; ++i) {
        const TEntJwwOrderItem item = def.Order[i];
        if (!lists.HeaderOf(item.Kind, item.Index)) continue;
        const TOrigin o{static_cast<uint32_t>(i), 0, 0, true};
        const auto k = static_cast<size_t>(item.Index);
        if (item.Kind == KindBlock) Insert(lists.BlockInserts[k], o);
        else Element(lists, item.Kind, k, identity, o);
      }
    }
  }

  // ---------------------------------------------------------------------
  // Inserts drawn by reference.

  // What a definition holds, measured once (nested ones first, at most
  // MaxDepth deep; a definition among its own ancestors is not clean).
  const TDefinitionInfo& Measured(int32_t def, uint32_t depth) {
    static const TDefinitionInfo unclean;
    TDefinitionInfo& info = Defs_[static_cast<size_t>(def)];
    if (info.State == 2) return info;
    if (info.State == 1 || depth > O_.MaxDepth) return unclean;
    info.State = 1;
    const TEntJwwBlockDef& d = D_.BlockDefs[static_cast<size_t>(def)];
    const TEntJwwElementLists& lists = d.Lists();
    const TMatrix identity;
    Measuring_ = true;
    Measured_ = {};
    Measured_.Clean = true;
    for (size_t i = 0; i < d.OrderEntries(); ++i) {
      const TEntJwwOrderItem item = d.Order[i];
      if (item.Kind != KindBlock && lists.HeaderOf(item.Kind, item.Index))
        Element(lists, item.Kind, static_cast<size_t>(item.Index), identity, {});
    }
    Measuring_ = false;
    TDefinitionInfo r = Measured_;
    r.Height = 1;
    for (size_t i = 0; i < d.OrderEntries() && r.Clean; ++i) {
      const TEntJwwOrderItem item = d.Order[i];
      if (item.Kind != KindBlock || !lists.HeaderOf(item.Kind, item.Index)) continue;
      const TEntJwwBlock& b = lists.BlockInserts[static_cast<size_t>(item.Index)];
      const int32_t inner = Resolve(b.BlockNumber);
      if (inner < 0) continue;  // places nothing
      const TDefinitionInfo& c = Measured(inner, depth + 1);
      TBox placed;
      if (!c.Clean || !MappedBox(Placement(b), c.Box, placed)) {
        r.Clean = false;
        break;
      }
      r.Box.Merge(placed);
      r.DotRadius = std::max(r.DotRadius, c.DotRadius);
      r.Height = std::max(r.Height, c.Height + 1);
    }
    if (r.Height > O_.MaxDepth || !std::isfinite(r.DotRadius)) r.Clean = false;
    r.State = 2;
    return info = r;
  }

  // The box that holds what a definition, made at scale s, places under use;
  // false when it is not finite.
  static bool PlacedBox(const TMatrix& use, double s, const TDefinitionInfo& info, TBox& box) {
    if (!MappedBox(use * TMatrix::Scale(s, s), info.Box, box)) return false;
    if (box.Empty()) return true;
    const double r = info.DotRadius;
    box = {box.Left - r, box.Bottom - r, box.Right + r, box.Top + r};
    return std::isfinite(box.Left) && std::isfinite(box.Bottom) && std::isfinite(box.Right) && std::isfinite(box.Top);
  }

  // The number of a definition made at a scale, given when first reached.
  int32_t Variant(int32_t def, double scale, bool visible) {
    const auto [it, added] = VariantIndex_.try_emplace({def, scale}, static_cast<int32_t>(Variants_.size()));
    if (added) Variants_.push_back({def, scale, visible});
    return it->second;
  }

  // An insert at the top level (s 1) or among the contents of a definition
  // made at scale s (a clean one's): by reference where that draws what
  // expanding it would, else expanded there, its items then checked one by
  // one.
  void Reference(const TEntJwwBlock& insert, double s, const TOrigin& o) {
    const int32_t def = Resolve(insert.BlockNumber);
    if (def < 0) {
      ++R_.Unresolved;
      return;
    }
    const TMatrix outer = TMatrix::Scale(s, s);
    const std::optional<TRigid> rigid = Rigid(insert, s);
    if (!rigid || !IsFinite(rigid->Use)) return Expand(insert, outer, o);
    const TDefinitionInfo& info = Measured(def, 1);
    TBox box;
    if (!info.Clean || !PlacedBox(rigid->Use, rigid->Scale, info, box)) return Expand(insert, outer, o);
    if (box.Empty()) return;  // it places nothing
    if (Checked()) {
      if (!box.Intersects(ReachBox)) return Lose();
      if (!Within(box, ReachBox)) return Expand(insert, outer, o);
    }
    if (Across(box)) return Expand(insert, outer, o);
    if (OffSheet(box)) return;
    const TInsert item{Variant(def, rigid->Scale, o.Visible), rigid->Use, {box.Left, box.Bottom}, {box.Right, box.Top}};
    if (Item()) Sink_.Insert(o, item);
  }

  // The contents of each variant reached, once, in the order reached; the
  // inserts among them reach further ones. Their items take the origin of
  // their place in the definition, visible as the insert that reached them
  // first.
  void Variants() {
    for (size_t r = 0; r < Variants_.size() && !Stopped_; ++r) {
      const TVariant v = Variants_[r];  // the list grows meanwhile
      Sink_.Definition(static_cast<int32_t>(r));
      InVariant_ = true;
      const TEntJwwBlockDef& def = D_.BlockDefs[static_cast<size_t>(v.Definition)];
      const TEntJwwElementLists& lists = def.Lists();
      const TMatrix m = TMatrix::Scale(v.Scale, v.Scale);
      for (size_t i = 0; i < def.OrderEntries() && !Stopped_; ++i) {
        const TEntJwwOrderItem item = def.Order[i];
        if (!lists.HeaderOf(item.Kind, item.Index)) continue;
        const TOrigin o{static_cast<uint32_t>(i), 0, 0, v.Visible};
        const auto k = static_cast<size_t>(item.Index);
        if (item.Kind == KindBlock) Reference(lists.BlockInserts[k], v.Scale, o);
        else Element(lists, item.Kind, k, m, o);
      }
      InVariant_ = false;
    }
  }

  struct TFrame {
    int32_t Definition = -1;
    size_t Next = 0;
    TMatrix Placement;
  };

  const TJwwData& D_;
  IDisplaySink& Sink_;
  const TRenderOptions O_;
  const TLook Look_;
  const TBlockNumbers Numbers_;  // the numbers the writer gives inserts, and the first definition of each
  const int32_t Version_;
  std::vector<int32_t> WrittenDefs_;  // BlockDefs index by the number the writer gives
  std::vector<bool> OnPath_;          // definitions on the path of the insert being expanded
  std::vector<TFrame> Path_;
  std::vector<int32_t> Ordinal_;  // by BlockDefs index: the order reached, -1 before
  std::vector<int32_t> Reached_;  // BlockDefs indices in the order reached
  TRenderResult R_;
  uint64_t Used_ = 0;
  bool Stopped_ = false;
  // The picture's rules, with what they hold true only of expanded contents.
  const bool Print_ = O_.View == TView::Print && O_.ExpandInserts;
  const bool Drawable_ = O_.Drawable && O_.ExpandInserts;
  const bool References_ = O_.ReferenceInserts && O_.ExpandInserts;
  const std::optional<JwwMeaning::TPaper> Sheet_ = JwwMeaning::Paper(D_.Header.PaperSize);
  const TBox SheetBox_ = Sheet_ ? TBox{-Sheet_->Width / 2, -Sheet_->Height / 2, Sheet_->Width / 2, Sheet_->Height / 2}
                                : TBox{};
  bool Lost_ = false;       // the top-level element being drawn lost an item
  bool InVariant_ = false;  // making the contents of a variant
  bool Measuring_ = false;  // measuring a definition's own items into Measured_
  TDefinitionInfo Measured_;
  std::vector<TDefinitionInfo> Defs_;  // by BlockDefs index
  std::vector<TVariant> Variants_;     // in the order reached
  std::map<std::pair<int32_t, double>, int32_t> VariantIndex_;
};

}  // namespace

TRenderResult Render(const TJwwData& drawing, IDisplaySink& sink, const TRenderOptions& options) {
  return TRenderer(drawing, sink, options).Run();
}

std::optional<JwwMeaning::TPaper> Sheet(const TJwwData& drawing) noexcept {
  return JwwMeaning::Paper(drawing.Header.PaperSize);
}

uint32_t Background(const TJwwData& drawing) {
  return TLook(drawing).Pen(JwwMeaning::BackgroundPen).Color;
}

uint64_t CountUndrawable(const TJwwData& drawing) {
  class TNone : public IDisplaySink {
    void Polyline(const TOrigin&, const TStroke&, std::span<const TPoint>) override {}
    void Arc(const TOrigin&, const TStroke&, const TArc&) override {}
    void Polygon(const TOrigin&, uint32_t, std::span<const TPoint>) override {}
    void Text(const TOrigin&, const TText&) override {}
    void Image(const TOrigin&, const TImage&) override {}
    void Dot(const TOrigin&, const TDot&) override {}
  } none;
  TRenderOptions o;
  o.Drawable = true;
  o.ReferenceInserts = true;
  return Render(drawing, none, o).Undrawable;
}

}  // namespace qm::view
