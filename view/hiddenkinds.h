// The kinds of hidden information a top-level element on a shown layer can
// carry besides lying on a hidden layer: what the screen shows and a print
// leaves out (temporary points, auxiliary elements), and what lies wholly
// outside the sheet. Judged by the rules of jwwmeaning.h that the print view
// draws by, the sheet against each element's whole extent as the renderer
// draws it (a text's frame, everything a block insert places, every part of
// a dimension). Block contents are not looked at, as the purge leaves them.
//
// The counter of a conversion, its removal, its visual proof and the window's
// preview all ask here, so that they agree about every element.
#pragma once

#include <cstdint>
#include <vector>

#include "bounds.h"
#include "jwwunit.h"

namespace qm::view {

// The kinds as bits; an element can be of several.
enum THiddenKind : uint8_t {
  TemporaryPointKind = 1,
  AuxiliaryKind = 2,
  OffSheetKind = 4,
};

struct TElementKinds {
  // By position in the order list: the kinds of each top-level element; 0
  // for none, for an entry without element and for an element on a hidden
  // layer (it is hidden material, and only that).
  std::vector<uint8_t> Of;
  // How many elements are of each kind.
  int32_t TemporaryPoints = 0, Auxiliary = 0, OffSheet = 0;
  // What the elements outside the sheet draw, together, in paper mm (empty
  // when they draw nothing that has a place).
  TBox OffSheetExtent;
};

// Every top-level element of a loaded drawing, judged. The sheet is that of
// the drawing's PaperSize (none: nothing lies outside it). An element that
// draws nothing with a place (an insert of an empty or missing definition,
// numbers that are not finite) lies outside the sheet. Should the picture's
// budget end the walk early, the elements not measured to their end stay on
// the sheet: an element is called outside only when all of it was seen.
TElementKinds ClassifyElements(const TJwwData& drawing);

}  // namespace qm::view
