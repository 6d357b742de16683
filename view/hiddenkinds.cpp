#include "hiddenkinds.h"

#include <optional>

#include "jwwmeaning.h"
#include "render.h"

namespace qm::view {

namespace {

// The extent of each top-level element, item by item, judged against the
// sheet as soon as the element's items are done (they come one element
// after another, the contents of definitions drawn by reference last).
class TSheetJudge : public IDisplaySink {
 public:
  TSheetJudge(const std::optional<JwwMeaning::TPaper>& sheet, TElementKinds& kinds) : Sheet_(sheet), K_(kinds) {}

  void Polyline(const TOrigin& o, const TStroke&, std::span<const TPoint> points) override { Take(o, BoundsOf(points)); }
  void Arc(const TOrigin& o, const TStroke&, const TArc& arc) override { Take(o, BoundsOf(arc)); }
  void Polygon(const TOrigin& o, uint32_t, std::span<const TPoint> points) override { Take(o, BoundsOf(points)); }
  void Text(const TOrigin& o, const TText& text) override { Take(o, BoundsOf(text)); }
  void Image(const TOrigin& o, const TImage& image) override { Take(o, BoundsOf(image)); }
  void Dot(const TOrigin& o, const TDot& dot) override { Take(o, BoundsOf(dot)); }
  void Insert(const TOrigin& o, const TInsert& insert) override {
    TBox box;
    box.Add(insert.Low);
    box.Add(insert.High);
    Take(o, box);
  }
  void Definition(int32_t) override {
    Finish();
    TopLevel_ = false;
  }

  // Judges the element seen last.
  void Finish() {
    if (Seen_) {
      uint8_t& bits = K_.Of[Current_];
      if (JwwMeaning::IsOutsideSheet(Sheet_, Box_.Left, Box_.Bottom, Box_.Right, Box_.Top))
        K_.OffSheetExtent.Merge(Box_);
      else
        bits &= static_cast<uint8_t>(~OffSheetKind);
      Seen_ = false;
    }
  }
  bool AtTopLevel() const noexcept { return TopLevel_; }
  // The element seen last (0 before any).
  uint32_t Last() const noexcept { return Current_; }

 private:
  void Take(const TOrigin& o, const TBox& box) {
    if (!TopLevel_ || o.Element >= K_.Of.size()) return;
    if (!Seen_ || o.Element != Current_) {
      Finish();
      Current_ = o.Element;
      Box_ = {};
      Seen_ = true;
    }
    Box_.Merge(box);
  }

  const std::optional<JwwMeaning::TPaper>& Sheet_;
  TElementKinds& K_;
  bool TopLevel_ = true;
  bool Seen_ = false;
  uint32_t Current_ = 0;
  TBox Box_;
};

}  // namespace

TElementKinds ClassifyElements(const TJwwData& d) {
  TElementKinds k;
  const size_t n = d.OrderEntries();
  k.Of.assign(n, 0);
  const int32_t v = d.Header.Version;
  const bool tables = d.HasHeaderArrays();
  const std::optional<JwwMeaning::TPaper> sheet = Sheet(d);
  for (size_t i = 0; i < n; ++i) {
    const TEntJwwOrderItem& item = d.EntityOrder[i];
    const TEntJwwEntityHeader* h = d.HeaderOf(item.Kind, item.Index);
    if (!h) continue;
    const size_t layer = JwwMeaning::LayerIndex(*h);
    if (tables && !JwwMeaning::IsShown(d.LayerGroups[layer / 16].State, d.Layers[layer].State)) continue;
    uint8_t& bits = k.Of[i];
    if (item.Kind == KindTen && JwwMeaning::IsTemporaryPoint(d.Points[static_cast<size_t>(item.Index)]))
      bits |= TemporaryPointKind;
    if (JwwMeaning::IsAuxiliary(*h, item.Kind, v)) bits |= AuxiliaryKind;
    if (sheet) bits |= OffSheetKind;  // until some of it is seen on the sheet
  }
  if (sheet) {
    TSheetJudge judge(sheet, k);
    TRenderOptions o;
    o.Layers = TLayers::Shown;
    o.ReferenceInserts = true;
    o.ExpandAcrossSheet = true;
    if (Render(d, judge, o).BudgetCut && judge.AtTopLevel()) {
      // The walk ended within the top level: what it had not finished stays.
      for (size_t i = judge.Last(); i < n; ++i) k.Of[i] &= static_cast<uint8_t>(~OffSheetKind);
    } else {
      judge.Finish();
    }
  }
  for (const uint8_t bits : k.Of) {
    k.TemporaryPoints += (bits & TemporaryPointKind) != 0;
    k.Auxiliary += (bits & AuxiliaryKind) != 0;
    k.OffSheet += (bits & OffSheetKind) != 0;
  }
  return k;
}

}  // namespace qm::view
