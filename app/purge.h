// Removing hidden material from a loaded drawing. Works on the document only:
// no file is touched here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "jwwunit.h"

namespace qm {

// True when any of the 16 layer groups or 256 layers has the state 0 (hidden).
bool HasHiddenLayer(const TJwwData& document);

// The layer group and layer the writer puts an element on: a stored number
// above 15 is written as 0, so that is where it is tested too.
inline uint16_t WrittenLayerNumber(uint16_t stored) { return stored > 15 ? 0 : stored; }
// True when an element header lies on a hidden group or a hidden layer.
bool IsOnHiddenLayer(const TJwwData& document, const TEntJwwEntityHeader& header);

struct TPurgeResult {
  int32_t RemovedElements = 0;
  int32_t RemovedBlockDefs = 0;  // definitions that no longer get written
};

// Empties the names of hidden groups and layers, marks every top-level
// element on a hidden group or layer as deleted (order entry kind 0, its
// kind's count one less), and keeps exactly the block definitions that the
// remaining top-level inserts reach; with no insert left every definition
// goes. Block contents are not touched.
TPurgeResult PurgeHiddenMaterial(TJwwData& document);

// What a drawing holds, as far as the purge decides it: used to check that a
// written file holds exactly what was meant to remain.
struct TDrawingSummary {
  int32_t Version = 0;
  struct TElement {
    int32_t Kind;
    uint16_t LayerGroup, Layer;
    bool operator==(const TElement&) const = default;
  };
  std::vector<TElement> Elements;           // top-level elements in file order
  std::vector<int32_t> BlockElementCounts;  // per written definition
  struct TImage {
    TJwwString Name;
    int64_t Size;
    bool operator==(const TImage&) const = default;
  };
  std::vector<TImage> Images;  // embedded images in table order
  std::array<int32_t, 16> GroupStates{};
  std::array<int32_t, 256> LayerStates{};
  std::array<bool, 16> GroupNamed{};
  std::array<bool, 256> LayerNamed{};
};

// What SaveDocument writes from this document (call after the save, when the
// image list carries the marks of the images that were written).
TDrawingSummary SummariseForWrite(const TJwwData& document);
// What a loaded drawing holds.
TDrawingSummary SummariseLoaded(const TJwwData& document);
// Empty when the two agree, else a sentence saying where they differ.
std::string CompareSummaries(const TDrawingSummary& expected, const TDrawingSummary& actual);

}  // namespace qm
