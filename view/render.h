// The renderer: turns a loaded drawing into display items (display.h) and
// streams them into a sink, in drawing order. It holds nothing but the path
// of block definitions it is inside, so a drawing of any size renders in
// bounded memory; every rule about what the drawing's numbers mean comes
// from jwwmeaning.h.
#pragma once

#include <cstdint>
#include <optional>

#include "display.h"
#include "jwwmeaning.h"
#include "jwwunit.h"

namespace qm::view {

// Which top-level elements are drawn: all, those on shown layers, or those on
// hidden layers (the contents of a definition follow the insert that places
// it).
enum class TLayers { All, Shown, Hidden };

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
};

struct TRenderResult {
  uint64_t Items = 0;       // items made
  uint64_t Placements = 0;  // definitions placed by expanded inserts
  bool BudgetCut = false;   // the budget ended the picture early
  uint64_t DepthCuts = 0;   // inserts not expanded: nested deeper than MaxDepth
  uint64_t CycleCuts = 0;   // inserts not expanded: their definition is among their own ancestors
  uint64_t Unresolved = 0;  // inserts of a number that no definition has
  bool Complete() const noexcept { return !BudgetCut && DepthCuts == 0 && CycleCuts == 0; }
};

TRenderResult Render(const TJwwData& drawing, IDisplaySink& sink, const TRenderOptions& options = {});

// The drawing's sheet, when its paper size names one.
std::optional<JwwMeaning::TPaper> Sheet(const TJwwData& drawing) noexcept;
// The background colour (0xRRGGBB).
uint32_t Background(const TJwwData& drawing);

}  // namespace qm::view
