// The SVG writer: a drawing as an SVG document, streamed to an ostream as it
// is rendered. The picture is in paper millimetres, origin at the sheet's
// centre, with y turned to point down as SVG's does: the whole canvas in the
// drawing's background colour, the sheet's outline grey, then the elements.
// Its view holds the sheet and every element drawn, also those off the sheet
// (within 100 m of its centre); a print holds the sheet alone. Block inserts
// are drawn by reference (<use> of a definition in <defs>, made once for
// every scale it is drawn at) wherever that draws what expanding them would.
#pragma once

#include <cstdint>
#include <ostream>

#include "jwwunit.h"
#include "look.h"
#include "render.h"

namespace qm::view {

// What happens to the material on hidden layer groups and layers.
enum class THidden {
  Omit,  // left out: what the CAD program shows
  Mark,  // the shown drawing faint, the hidden material above it in red at 60 % opacity
  Only,  // the hidden material alone, in its own colours
};

struct TSvgOptions {
  THidden Hidden = THidden::Omit;
  // Every layer drawn as if shown (nothing counts as hidden).
  bool AllLayers = false;
  // What the CAD program shows, or what a print of the sheet holds.
  TView View = TView::Screen;
  uint64_t Budget = TRenderOptions{}.Budget;  // for each pass over the drawing
};

struct TSvgResult {
  TRenderResult Render;  // of the passes together: cuts and counts (Undrawable among them)
  // Items written at the picture's top level, of either kind (an insert
  // drawn by reference counts once).
  uint64_t ShownItems = 0, HiddenItems = 0;
};

// Writes the document; the stream's state tells whether it was written.
TSvgResult WriteSvg(const TJwwData& drawing, std::ostream& out, const TSvgOptions& options = {});

// How the writer draws what the drawing leaves to the medium.
// (The marked look, the baseline and the thinnest line are the pictures'
// own: look.h.)
namespace Svg {
constexpr uint32_t SheetOutline = 0x808080;
}  // namespace Svg

}  // namespace qm::view
