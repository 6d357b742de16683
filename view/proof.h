// The visual proof of a purge: the output, every layer switched on, shows
// item for item what the source shows with its hidden layers off.
//
// Both sides are rendered without expanding block inserts: an insert is an
// item naming its definition by the order in which the walk first reached it
// (the writer renumbers definitions) with its placement, and the contents of
// each definition reached are compared once, after the top level. A text is
// compared as the writer leaves it ("^m" pairs and control characters
// removed), and the output's inserts name the definitions the writer's
// numbers will give them. Everything else the writer changes (pen styles and
// colours out of range, older numbering, layers above 15, pens it clamps) the
// renderer resolves alike on both sides, so that it must not differ.
//
// Use: record the source before the purge (8 bytes an item), compare the
// purged document after it; both are one pass over the drawing.
//
//   const qm::view::TVisualRecord before = qm::view::TVisualRecord::Of(doc);
//   qm::PurgeHiddenMaterial(doc);
//   if (const auto difference = before.Compare(doc)) fail(difference->What);
#pragma once

#include <cstdint>
#include <optional>
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
  // What the source shows with its hidden layers switched off.
  static TVisualRecord Of(const TJwwData& source);
  // Nothing when the purged document, with every layer switched on and as it
  // will be written, shows item for item what the record holds.
  std::optional<TVisualDifference> Compare(const TJwwData& purged) const;

  size_t Items() const noexcept { return Hashes_.size(); }
  size_t MemoryBytes() const noexcept { return Hashes_.capacity() * sizeof(uint64_t); }

 private:
  std::vector<uint64_t> Hashes_;  // one fingerprint per item, in order
};

}  // namespace qm::view
