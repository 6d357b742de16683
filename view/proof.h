// The visual proof of a purge: the output, every layer switched on, shows
// item for item what the source shows with its hidden layers off.
//
// Both sides are rendered without expanding block inserts: an insert is an
// item naming its definition by the order in which the walk first reached it
// (the writer renumbers definitions) with its placement, and the contents of
// each definition reached are compared once, after the top level. An image
// is compared by its frame, its name and the bytes (a hash) of the image the
// name finds: in the source the image its table holds, in the output the one
// the writer keeps, so that an image the output would lose is a difference.
//
// Both sides are compared as the writer writes them: texts and font names
// without their "^m" pairs and control characters, pens and layers as the
// writer resolves them. What the writer (and, before it, the reader) writes
// otherwise than the file held it is therefore no difference here: it is
// counted apart (JwwNormalise::Changes), and only a comparison that holds
// with nothing counted there says that the output shows exactly what the
// source showed.
//
// What a conversion removes besides on request (hiddenkinds.h) is left out of
// the source's record, so that the output shows exactly what the source
// showed less the hidden material and the kinds removed.
//
// Use: record the source before the purge (4 bytes an item), compare the
// purged document after it; both are one pass over the drawing.
//
//   const qm::view::TVisualRecord before = qm::view::TVisualRecord::Of(doc);
//   qm::PurgeHiddenMaterial(doc);
//   if (const auto difference = before.Compare(doc)) fail(difference->What);
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jwwunit.h"

namespace qm::view {

// Where the output first shows something other than the source.
struct TVisualDifference {
  uint64_t Item = 0;  // its position among the items compared (0-based)
  std::string What;   // a sentence saying which item it is
};

class TVisualRecord {
 public:
  // What the source shows with its hidden layers switched off, less the
  // top-level elements a conversion was asked to remove besides: those whose
  // entry in kinds (by position in the order list; hiddenkinds.h) has a bit
  // of leaveOut.
  static TVisualRecord Of(const TJwwData& source, std::span<const uint8_t> kinds = {}, uint8_t leaveOut = 0);
  // Nothing when the purged document, with every layer switched on and as it
  // will be written, shows item for item what the record holds.
  std::optional<TVisualDifference> Compare(const TJwwData& purged) const;

  size_t Items() const noexcept { return Hashes_.size(); }
  size_t MemoryBytes() const noexcept { return Hashes_.size() * sizeof(uint32_t); }

 private:
  std::deque<uint32_t> Hashes_;  // one fingerprint per item, in order (grown without copies)
};

}  // namespace qm::view
