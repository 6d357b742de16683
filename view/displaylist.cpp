#include "displaylist.h"

#include <cmath>
#include <cstring>

namespace qm::view {

namespace {

// The box in floats, rounded outward so that it still holds the item.
std::array<float, 4> Outward(const TBox& b) {
  if (b.Empty()) return {1, 1, -1, -1};
  auto down = [](double v) {
    const auto f = static_cast<float>(v);
    return static_cast<double>(f) <= v ? f : std::nextafter(f, -std::numeric_limits<float>::infinity());
  };
  auto up = [](double v) {
    const auto f = static_cast<float>(v);
    return static_cast<double>(f) >= v ? f : std::nextafter(f, std::numeric_limits<float>::infinity());
  };
  return {down(b.Left), down(b.Bottom), up(b.Right), up(b.Top)};
}

uint32_t Index(size_t i) { return static_cast<uint32_t>(i); }

}  // namespace

size_t TDisplayList::TStrokeHash::operator()(const TStroke& s) const noexcept {
  uint64_t h = 0xCBF29CE484222325ull;
  auto mix = [&h](uint64_t v) { h = (h ^ v) * 0x100000001B3ull; };
  uint64_t bits;
  std::memcpy(&bits, &s.Width, sizeof bits);
  mix(s.Color);
  mix(bits);
  mix(s.LineType);
  mix(s.DashCount);
  for (size_t i = 0; i < s.DashCount; ++i) {
    std::memcpy(&bits, &s.Dashes[i], sizeof bits);
    mix(bits);
  }
  return static_cast<size_t>(h);
}

void TDisplayList::Add(const TOrigin& origin, TItemKind kind, uint32_t style, size_t data, uint32_t count,
                       const TBox& box) {
  TEntry e;
  e.Origin = origin;
  e.Kind = kind;
  e.Style = style;
  e.Data = Index(data);
  e.Count = count;
  e.Box = Outward(box);
  Entries_.push_back(e);
}

uint32_t TDisplayList::StrokeIndex(const TStroke& stroke) {
  const auto [it, added] = StrokeIndex_.try_emplace(stroke, Index(Strokes_.size()));
  if (added) Strokes_.push_back(stroke);
  return it->second;
}

uint32_t TDisplayList::StringIndex(const TJwwString* s, bool reuseLast) {
  static const TJwwString empty;
  const TJwwString& value = s ? *s : empty;
  if (reuseLast && LastFont_ < Strings_.size() && Strings_[LastFont_] == value) return LastFont_;
  Strings_.push_back(value);
  const uint32_t i = Index(Strings_.size() - 1);
  if (reuseLast) LastFont_ = i;
  return i;
}

void TDisplayList::Polyline(const TOrigin& origin, const TStroke& stroke, std::span<const TPoint> points) {
  const size_t first = Points_.size();
  Points_.insert(Points_.end(), points.begin(), points.end());
  Add(origin, TItemKind::Polyline, StrokeIndex(stroke), first, Index(points.size()), BoundsOf(points));
}

void TDisplayList::Arc(const TOrigin& origin, const TStroke& stroke, const TArc& arc) {
  Arcs_.push_back(arc);
  Add(origin, TItemKind::Arc, StrokeIndex(stroke), Arcs_.size() - 1, 0, BoundsOf(arc));
}

void TDisplayList::Polygon(const TOrigin& origin, uint32_t color, std::span<const TPoint> points) {
  const size_t first = Points_.size();
  Points_.insert(Points_.end(), points.begin(), points.end());
  Add(origin, TItemKind::Polygon, color, first, Index(points.size()), BoundsOf(points));
}

void TDisplayList::Text(const TOrigin& origin, const TText& t) {
  const uint32_t font = StringIndex(t.Font, true);
  const uint32_t text = StringIndex(t.Text, false);
  Texts_.push_back({t.Frame, t.SizeX, t.SizeY, t.Spacing, t.Width, t.Color, font, text});
  Add(origin, TItemKind::Text, 0, Texts_.size() - 1, 0, BoundsOf(t));
}

void TDisplayList::Image(const TOrigin& origin, const TImage& i) {
  Images_.push_back({i.Frame, i.Width, i.Height, i.Color, StringIndex(i.Name, false)});
  Add(origin, TItemKind::Image, 0, Images_.size() - 1, 0, BoundsOf(i));
}

void TDisplayList::Dot(const TOrigin& origin, const TDot& dot) {
  Dots_.push_back(dot);
  Add(origin, TItemKind::Dot, 0, Dots_.size() - 1, 0, BoundsOf(dot));
}

// Its box: what it places, when known, else its insertion point.
void TDisplayList::Insert(const TOrigin& origin, const TInsert& insert) {
  Inserts_.push_back(insert);
  TBox box;
  box.Add(insert.Low);
  box.Add(insert.High);
  if (box.Empty()) box.Add(TPoint{insert.Placement.E, insert.Placement.F});
  Add(origin, TItemKind::Insert, 0, Inserts_.size() - 1, 0, box);
}

void TDisplayList::Definition(int32_t definition) {
  if (!Contents_) TopLevel_ = Entries_.size();
  Contents_ = true;
  Add({}, TItemKind::Definition, 0, static_cast<size_t>(definition), 0, TBox{});
  if (definition < 0) return;
  const auto n = static_cast<size_t>(definition);
  if (Starts_.size() <= n) Starts_.resize(n + 1, 0);
  Starts_[n] = Index(Entries_.size());
}

std::span<const TDisplayList::TEntry> TDisplayList::Contents(int32_t definition) const noexcept {
  const auto n = static_cast<size_t>(definition);
  if (definition < 0 || n >= Starts_.size() || Starts_[n] == 0) return {};
  const size_t first = Starts_[n];
  size_t end = first;
  while (end < Entries_.size() && Entries_[end].Kind != TItemKind::Definition) ++end;
  return {Entries_.data() + first, end - first};
}

TText TDisplayList::Text(const TEntry& e) const noexcept {
  const TStoredText& t = Texts_[e.Data];
  return {t.Frame, t.SizeX, t.SizeY, t.Spacing, t.Width, t.Color, &Strings_[t.Font], &Strings_[t.Text]};
}

TImage TDisplayList::Image(const TEntry& e) const noexcept {
  const TStoredImage& i = Images_[e.Data];
  return {i.Frame, i.Width, i.Height, i.Color, &Strings_[i.Name]};
}

TBox TDisplayList::Bounds() const noexcept {
  TBox b;
  for (size_t i = 0; i < TopLevel(); ++i) {
    const TEntry& e = Entries_[i];
    if (e.Box[0] > e.Box[2]) continue;
    if (e.Kind == TItemKind::Insert && !(Insert(e).Low.X <= Insert(e).High.X)) continue;  // what it places is not known
    b.Add(TPoint{e.Box[0], e.Box[1]});
    b.Add(TPoint{e.Box[2], e.Box[3]});
  }
  return b;
}

std::vector<uint32_t> TDisplayList::ItemsIn(const TBox& view) const {
  std::vector<uint32_t> found;
  for (size_t i = 0; i < TopLevel(); ++i) {
    const TEntry& e = Entries_[i];
    if (e.Box[0] <= view.Right && view.Left <= e.Box[2] && e.Box[1] <= view.Top && view.Bottom <= e.Box[3])
      found.push_back(Index(i));
  }
  return found;
}

void TDisplayList::Replay(IDisplaySink& sink) const {
  for (const TEntry& e : Entries_) {
    switch (e.Kind) {
      case TItemKind::Polyline: sink.Polyline(e.Origin, Stroke(e), Points(e)); break;
      case TItemKind::Arc: sink.Arc(e.Origin, Stroke(e), Arc(e)); break;
      case TItemKind::Polygon: sink.Polygon(e.Origin, Fill(e), Points(e)); break;
      case TItemKind::Text: sink.Text(e.Origin, Text(e)); break;
      case TItemKind::Image: sink.Image(e.Origin, Image(e)); break;
      case TItemKind::Dot: sink.Dot(e.Origin, Dot(e)); break;
      case TItemKind::Insert: sink.Insert(e.Origin, Insert(e)); break;
      case TItemKind::Definition: sink.Definition(Definition(e)); break;
    }
  }
}

size_t TDisplayList::MemoryBytes() const noexcept {
  size_t n = Entries_.capacity() * sizeof(TEntry) + Strokes_.capacity() * sizeof(TStroke) +
             Points_.capacity() * sizeof(TPoint) + Arcs_.capacity() * sizeof(TArc) +
             Texts_.capacity() * sizeof(TStoredText) + Images_.capacity() * sizeof(TStoredImage) +
             Dots_.capacity() * sizeof(TDot) + Inserts_.capacity() * sizeof(TInsert) +
             Strings_.capacity() * sizeof(TJwwString) + Starts_.capacity() * sizeof(uint32_t) +
             StrokeIndex_.size() * (sizeof(TStroke) + 32);
  for (const TJwwString& s : Strings_) n += s.IsWide() ? s.Units().size() * 2 : s.Sjis().size();
  return n;
}

}  // namespace qm::view
