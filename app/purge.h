// Removing hidden material from a loaded drawing. Works on the document only:
// no file is touched here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hiddenkinds.h"
#include "jwwunit.h"

namespace qm {

// True when any of the 16 layer groups or 256 layers has the state 0 (hidden).
bool HasHiddenLayer(const TJwwData& document);

// What a conversion removes besides the hidden layers' material, each only
// when the user asks (the window's check boxes, the command line's
// --remove): the memo, and the top-level elements on shown layers of each
// kind of hiddenkinds.h. An element of several kinds goes once.
struct TAlsoRemove {
  bool Memo = false, OffSheet = false, TemporaryPoints = false, Auxiliary = false;

  static constexpr TAlsoRemove All() noexcept { return {true, true, true, true}; }
  // The element kinds asked for, as bits of view::THiddenKind.
  constexpr uint8_t Elements() const noexcept {
    return static_cast<uint8_t>((OffSheet ? view::OffSheetKind : 0) | (TemporaryPoints ? view::TemporaryPointKind : 0) |
                                (Auxiliary ? view::AuxiliaryKind : 0));
  }
  constexpr bool Any() const noexcept { return Memo || Elements() != 0; }
  bool operator==(const TAlsoRemove&) const = default;
};

// The characters of a memo: its Unicode code points once decoded, without
// the white space at either end (spaces, U+3000, CR, LF, tabs and the rest
// of Unicode's white space); 0 when there is none.
int32_t MemoCharacters(const TJwwString& memo);

// The road's quick test, on a drawing whose header is read: is there
// anything to remove? A hidden group or layer (HasHiddenLayer), or a memo
// that is asked to go. Whether an element of a kind asked for is there is
// known only once the drawing is read whole (the second form).
bool AnythingToRemove(const TJwwData& document, const TAlsoRemove& also = {});
// The same on a drawing read whole, its elements judged (ClassifyElements).
bool AnythingToRemove(const TJwwData& document, const TAlsoRemove& also, const view::TElementKinds& kinds);

// True when an element header lies on a hidden group or a hidden layer.
bool IsOnHiddenLayer(const TJwwData& document, const TEntJwwEntityHeader& header);

// What a purge takes out of a drawing: the one count of removed material,
// for the conversion's report and for info.
struct TPurgeResult {
  int32_t RemovedElements = 0;   // top-level elements on hidden groups and layers
  int32_t RemovedBlockDefs = 0;  // definitions that no longer get written
  int32_t RemovedImages = 0;     // embedded images that only removed texts showed
  // Removed besides, as asked: the memo's characters, and the elements of
  // each kind asked for (an element of several counts in each of them).
  int32_t RemovedMemo = 0, RemovedOffSheet = 0, RemovedTemporaryPoints = 0, RemovedAuxiliary = 0;
};

// Empties the names of hidden groups and layers, marks every top-level
// element on a hidden group or layer as deleted (order entry kind 0, its
// kind's count one less), and keeps exactly the block definitions that the
// remaining top-level inserts reach; with no insert left every definition
// goes. Block contents are not touched. The images the output no longer
// carries (shown before, not after) are counted with the rest.
// With also: the memo emptied in its own form (a wide one stays wide, and
// so does the drawing), and the elements of the kinds asked for removed as
// the hidden ones are, judged by kinds (the document's own judgement, taken
// here when none is given).
TPurgeResult PurgeHiddenMaterial(TJwwData& document, const TAlsoRemove& also = {},
                                 const view::TElementKinds* kinds = nullptr);

// Empty when a purged document holds nothing hidden that would be written:
// no top-level element on a hidden group or layer, no name of a hidden group
// or layer, no block definition that no remaining insert reaches; and of
// what also asked to remove: no memo, no temporary point, no auxiliary
// element, no element that kinds found outside the sheet. Else a sentence
// saying what would leak. The purge's own guard before a save.
std::string FindHiddenMaterial(const TJwwData& document, const TAlsoRemove& also = {},
                               const view::TElementKinds* kinds = nullptr);

}  // namespace qm
