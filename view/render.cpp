#include "render.h"

#include <array>
#include <vector>

#include "Func_.h"
#include "jwwnormalise.h"

namespace qm::view {

namespace {

constexpr size_t PenCount = 357;  // colours 0..356

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
      const TOrigin origin{static_cast<uint32_t>(i), static_cast<uint8_t>(layer / 16), static_cast<uint8_t>(layer % 16),
                           O_.AllShown || shown};
      const auto k = static_cast<size_t>(item.Index);
      if (item.Kind != KindBlock) Element(D_, item.Kind, k, identity, origin);
      else if (O_.ExpandInserts) Expand(D_.BlockInserts[k], origin);
      else Insert(D_.BlockInserts[k], origin);
    }
    if (!O_.ExpandInserts) Definitions();
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

  void Line(const TEntJwwSen& e, const TMatrix& m, const TOrigin& o) {
    const TPoint points[2] = {m({e.StartX, e.StartY}), m({e.EndX, e.EndY})};
    if (Item()) Sink_.Polyline(o, Look_.Stroke(Resolved(e.Header, KindSen)), points);
  }

  void Arc(const TEntJwwEnko& e, const TMatrix& m, const TOrigin& o) {
    const double c = e.TiltAngle == 0 ? 1 : std::cos(e.TiltAngle), s = e.TiltAngle == 0 ? 0 : std::sin(e.TiltAngle);
    const double a = e.Radius, b = e.Radius * e.Flatness;
    TArc arc;
    arc.Center = m({e.CenterX, e.CenterY});
    arc.U = m.Linear({a * c, a * s});
    arc.V = m.Linear({-b * s, b * c});
    arc.Start = e.StartAngle;
    arc.Sweep = e.ArcAngle;
    arc.Whole = JwwMeaning::IsWholeEllipse(e.FullCircle);
    if (Item()) Sink_.Arc(o, Look_.Stroke(Resolved(e.Header, KindEnko)), arc);
  }

  void Point(const TEntJwwTen& e, const TMatrix& m, const TOrigin& o) {
    const TLook::TPen& pen = Look_.Pen(Resolved(e.Header, KindTen).PenColor);
    const TDot dot{m({e.X, e.Y}), pen.PointRadius, pen.Color, JwwMeaning::IsConstructionPoint(e.Temporary)};
    if (Item()) Sink_.Dot(o, dot);
  }

  void Text(const TEntJwwMoji& e, const TMatrix& m, const TOrigin& o) {
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
      const TImage item{frame, image->Width, image->Height, color, &image->Name};
      if (Item()) Sink_.Image(o, item);
      return;
    }
    const JwwMeaning::TTextRun run = JwwMeaning::TextRun(*text, e.SizeX, e.Spacing);
    const TText item{frame, e.SizeX, e.SizeY, e.Spacing, run.Width, color, font, text};
    if (Item()) Sink_.Text(o, item);
  }

  void Dimension(const TEntJwwSunpou& e, const TMatrix& m, const TOrigin& o) {
    Line(e.Line, m, o);
    Text(e.ValueText, m, o);
    if (!JwwMeaning::HasDimensionExtension(Version_)) return;
    Line(e.AuxLine1, m, o);
    Line(e.AuxLine2, m, o);
    for (const TEntJwwTen* p : {&e.Point1, &e.Point2, &e.Point3, &e.Point4}) Point(*p, m, o);
  }

  void Solid(const TEntJwwSolid& e, const TMatrix& m, const TOrigin& o) {
    const TEntJwwEntityHeader h = Resolved(e.Header, KindSolid);
    const uint32_t color = h.PenColor == JwwMeaning::SolidOwnColor ? JwwMeaning::Rgb(e.Color) : Look_.Pen(h.PenColor).Color;
    const TPoint corners[4] = {m({e.StartX, e.StartY}), m({e.EndX, e.EndY}), m({e.Point2X, e.Point2Y}),
                               m({e.Point3X, e.Point3Y})};
    if (Item()) Sink_.Polygon(o, color, corners);
  }

  // An insert and, depth first, everything it places: a definition among its
  // own ancestors is not placed again, nor one nested deeper than MaxDepth.
  // A placement costs one unit of the budget for every element its
  // definition holds, so that definitions of many elements that make no
  // items cannot make the walk endless either.
  void Expand(const TEntJwwBlock& insert, const TOrigin& o) {
    Enter(insert, TMatrix{});
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

}  // namespace qm::view
