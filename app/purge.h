// Removing hidden material from a loaded drawing. Works on the document only:
// no file is touched here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jwwunit.h"

namespace qm {

// True when any of the 16 layer groups or 256 layers has the state 0 (hidden).
bool HasHiddenLayer(const TJwwData& document);

// The road's quick test, on a drawing whose header is read: is there
// anything to remove? Today: a hidden group or layer (HasHiddenLayer).
bool AnythingToRemove(const TJwwData& document);

// True when an element header lies on a hidden group or a hidden layer.
bool IsOnHiddenLayer(const TJwwData& document, const TEntJwwEntityHeader& header);

// What a purge takes out of a drawing: the one count of removed material,
// for the conversion's report and for info.
struct TPurgeResult {
  int32_t RemovedElements = 0;
  int32_t RemovedBlockDefs = 0;  // definitions that no longer get written
  int32_t RemovedImages = 0;     // embedded images that only removed texts showed
};

// Empties the names of hidden groups and layers, marks every top-level
// element on a hidden group or layer as deleted (order entry kind 0, its
// kind's count one less), and keeps exactly the block definitions that the
// remaining top-level inserts reach; with no insert left every definition
// goes. Block contents are not touched. The images the output no longer
// carries (shown before, not after) are counted with the rest.
TPurgeResult PurgeHiddenMaterial(TJwwData& document);

// Empty when a purged document holds nothing hidden that would be written:
// no top-level element on a hidden group or layer, no name of a hidden group
// or layer, no block definition that no remaining insert reaches. Else a
// sentence saying what would leak. The purge's own guard before a save.
std::string FindHiddenMaterial(const TJwwData& document);

}  // namespace qm
