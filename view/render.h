// The renderer: turns a loaded drawing into display items (display.h) and
// streams them into a sink, in drawing order. It holds nothing but the path
// of block definitions it is inside, so a drawing of any size renders in
// bounded memory; every rule about what the drawing's numbers mean comes
// from jwwmeaning.h.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "display.h"
#include "jwwmeaning.h"
#include "jwwunit.h"

namespace qm::view {

// Which top-level elements are drawn: all, those on shown layers, or those on
// hidden layers (the contents of a definition follow the insert that places
// it).
enum class TLayers { All, Shown, Hidden };

// Which picture: what the CAD program shows on screen, or what a print of
// the sheet holds.
enum class TView { Screen, Print };

// How far from the sheet's centre (paper mm, along x and along y) a picture
// reaches: 100 m.
constexpr double Reach = 100000;

struct TRenderOptions {
  TLayers Layers = TLayers::All;
  // Every item tagged visible, as if every layer were switched on.
  bool AllShown = false;
  // False: an insert becomes one Insert item, and the contents of every
  // definition reached are made once, after the top level, each announced by
  // Definition (the visual proof's form, linear in the drawing's size).
  bool ExpandInserts = true;
  // Texts (and their fonts' names) as the writer writes them: without their
  // "^m" pairs and control characters.
  bool CleanTexts = false;
  // Inserts find their definitions by the numbers the writer will give them,
  // as they will in the written file (the document must be one the writer
  // could write: its block usage computed).
  bool WrittenNumbers = false;
  // What one rendering may make: items and placements of definitions
  // together. A drawing of nested inserts (ten of B in A, ten of C in B ...)
  // stops there instead of growing without end.
  uint64_t Budget = 20'000'000;
  // Expanded inserts nest at most this deep.
  uint32_t MaxDepth = 64;
  // Print (with ExpandInserts): no temporary points, no auxiliary elements,
  // and no item that lies wholly outside the sheet (a backend clips the rest
  // to it).
  TView View = TView::Screen;
  // Only what a medium can draw (with ExpandInserts): an item whose numbers
  // are not finite, or that lies wholly beyond Reach, is left out; a line or
  // solid that crosses the limit is cut to it, an arc to its parts within;
  // a text, image or point is left out unless it lies wholly within. Each
  // top-level element that loses something is counted in Undrawable.
  bool Drawable = false;
  // With ExpandInserts: an insert is drawn by reference wherever that draws
  // what expanding it would (its scale the same along x and y, everything
  // it places finite and, when Drawable, within Reach, nested no deeper than
  // MaxDepth): an Insert item whose placement turns, mirrors and moves, and
  // after the top level each definition reached, once for every scale it is
  // drawn at, its contents made at that scale (so that strokes, dashes and
  // dots keep their paper sizes), each announced by Definition. Any other
  // insert is expanded.
  bool ReferenceInserts = false;
  // With ReferenceInserts: a top-level insert whose box crosses the sheet's
  // edge is expanded, so that every item lies either on the sheet or off it
  // (the extent of an element, item by item, then tells exactly whether any
  // of it reaches the sheet).
  bool ExpandAcrossSheet = false;
  // Top-level elements left out besides those Layers leaves out: each whose
  // entry in Kinds (by its position in the order list) has a bit of LeaveOut.
  std::span<const uint8_t> Kinds;
  uint8_t LeaveOut = 0;
};

struct TRenderResult {
  uint64_t Items = 0;       // items made
  uint64_t Placements = 0;  // definitions placed by expanded inserts
  bool BudgetCut = false;   // the budget ended the picture early
  uint64_t DepthCuts = 0;   // inserts not expanded: nested deeper than MaxDepth
  uint64_t CycleCuts = 0;   // inserts not expanded: their definition is among their own ancestors
  uint64_t Unresolved = 0;  // inserts of a number that no definition has
  uint64_t Undrawable = 0;  // top-level elements of which something was left out as not drawable
  bool Complete() const noexcept { return !BudgetCut && DepthCuts == 0 && CycleCuts == 0; }
};

TRenderResult Render(const TJwwData& drawing, IDisplaySink& sink, const TRenderOptions& options = {});

// The drawing's sheet, when its paper size names one.
std::optional<JwwMeaning::TPaper> Sheet(const TJwwData& drawing) noexcept;
// The background colour (0xRRGGBB).
uint32_t Background(const TJwwData& drawing);
// The top-level elements, on every layer, of which the screen's picture
// leaves something out as not drawable (not finite, or beyond Reach).
uint64_t CountUndrawable(const TJwwData& drawing);

}  // namespace qm::view
