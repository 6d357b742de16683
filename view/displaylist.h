// The stored display list: a sink that keeps every item compactly, each
// with its bounding box, to be played back at any zoom (the window draws it
// with GDI; arcs stay analytic and a backend flattens them for its scale) or
// examined (the tests). Inserts drawn by reference keep their definitions'
// contents once, after the top level: an insert's box holds what it places,
// and a backend draws the contents through the insert's placement.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "bounds.h"
#include "display.h"

namespace qm::view {

enum class TItemKind : uint8_t { Polyline, Arc, Polygon, Text, Image, Dot, Insert, Definition };

class TDisplayList : public IDisplaySink {
 public:
  struct TEntry {
    TOrigin Origin;
    TItemKind Kind = TItemKind::Polyline;
    uint32_t Style = 0;  // the stroke of a polyline or arc (Stroke()), the colour of a polygon
    uint32_t Data = 0;   // where the item's own data starts (its first point, its arc, text ...)
    uint32_t Count = 0;  // the points of a polyline or polygon
    std::array<float, 4> Box{};  // left, bottom, right, top: a little outside the exact box
  };

  void Polyline(const TOrigin& origin, const TStroke& stroke, std::span<const TPoint> points) override;
  void Arc(const TOrigin& origin, const TStroke& stroke, const TArc& arc) override;
  void Polygon(const TOrigin& origin, uint32_t color, std::span<const TPoint> points) override;
  void Text(const TOrigin& origin, const TText& text) override;
  void Image(const TOrigin& origin, const TImage& image) override;
  void Dot(const TOrigin& origin, const TDot& dot) override;
  void Insert(const TOrigin& origin, const TInsert& insert) override;
  void Definition(int32_t definition) override;

  size_t Size() const noexcept { return Entries_.size(); }
  const TEntry& operator[](size_t i) const noexcept { return Entries_[i]; }
  const std::vector<TEntry>& Entries() const noexcept { return Entries_; }
  // The items before the first definition's contents.
  size_t TopLevel() const noexcept { return Contents_ ? TopLevel_ : Entries_.size(); }
  // The contents of a definition (empty for a number none announced).
  std::span<const TEntry> Contents(int32_t definition) const noexcept;
  // The extent of the top level (with what inserts drawn by reference place).
  TBox Bounds() const noexcept;
  // The indices of the top-level items whose boxes meet a box, in drawing order.
  std::vector<uint32_t> ItemsIn(const TBox& view) const;

  // An item's parts, by its kind.
  const TStroke& Stroke(const TEntry& e) const noexcept { return Strokes_[e.Style]; }
  std::span<const TPoint> Points(const TEntry& e) const noexcept { return {Points_.data() + e.Data, e.Count}; }
  uint32_t Fill(const TEntry& e) const noexcept { return e.Style; }
  const TArc& Arc(const TEntry& e) const noexcept { return Arcs_[e.Data]; }
  TText Text(const TEntry& e) const noexcept;
  TImage Image(const TEntry& e) const noexcept;
  const TDot& Dot(const TEntry& e) const noexcept { return Dots_[e.Data]; }
  const TInsert& Insert(const TEntry& e) const noexcept { return Inserts_[e.Data]; }
  int32_t Definition(const TEntry& e) const noexcept { return static_cast<int32_t>(e.Data); }

  // Hands every item to another sink, in order.
  void Replay(IDisplaySink& sink) const;
  // Bytes held.
  size_t MemoryBytes() const noexcept;

 private:
  struct TStoredText {
    TMatrix Frame;
    double SizeX = 0, SizeY = 0, Spacing = 0, Width = 0;
    uint32_t Color = 0, Font = 0, Text = 0;  // Font and Text index Strings_
  };
  struct TStoredImage {
    TMatrix Frame;
    double Width = 0, Height = 0;
    uint32_t Color = 0, Name = 0;
  };
  struct TStrokeHash {
    size_t operator()(const TStroke& s) const noexcept;
  };
  void Add(const TOrigin& origin, TItemKind kind, uint32_t style, size_t data, uint32_t count, const TBox& box);
  uint32_t StrokeIndex(const TStroke& stroke);
  uint32_t StringIndex(const TJwwString* s, bool reuseLast);

  std::vector<TEntry> Entries_;
  std::vector<TStroke> Strokes_;
  std::unordered_map<TStroke, uint32_t, TStrokeHash> StrokeIndex_;
  std::vector<TPoint> Points_;
  std::vector<TArc> Arcs_;
  std::vector<TStoredText> Texts_;
  std::vector<TStoredImage> Images_;
  std::vector<TDot> Dots_;
  std::vector<TInsert> Inserts_;
  std::vector<TJwwString> Strings_;
  std::vector<uint32_t> Starts_;  // by definition number: its contents' first entry (0: none announced)
  bool Contents_ = false;         // a definition was announced: the top level ends at TopLevel_
  size_t TopLevel_ = 0;
  uint32_t LastFont_ = UINT32_MAX;
};

}  // namespace qm::view
