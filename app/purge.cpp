#include "purge.h"

#include "jwwmeaning.h"

#include <algorithm>
#include <system_error>


namespace qm {

namespace {

bool HasLayerTables(const TJwwData& d) { return d.LayerGroups.size() == 16 && d.Layers.size() == 256; }

}  // namespace

bool HasHiddenLayer(const TJwwData& d) {
  if (!HasLayerTables(d)) return false;
  for (size_t g = 0; g < 16; ++g) {
    if (d.LayerGroups[g].State == 0) return true;
    for (size_t l = 0; l < 16; ++l)
      if (d.Layers[g * 16 + l].State == 0) return true;
  }
  return false;
}

bool AnythingToRemove(const TJwwData& d) { return HasHiddenLayer(d); }

bool IsOnHiddenLayer(const TJwwData& d, const TEntJwwEntityHeader& h) {
  return d.LayerGroups[JwwMeaning::LayerNumber(h.LayerGroup)].State == 0 ||
         d.Layers[JwwMeaning::LayerIndex(h)].State == 0;
}

TPurgeResult PurgeHiddenMaterial(TJwwData& d) {
  TPurgeResult result;
  if (!HasLayerTables(d)) return result;
  const std::vector<bool> shownBefore = d.ImagesShown();

  // An emptied name holds nothing of what the reader read (nor of what it dropped).
  for (TEntJwwLayerGroup& group : d.LayerGroups)
    if (group.State == 0) {
      group.Name.clear();
      group.ReadCleaned = 0;
    }
  for (TEntJwwLayer& layer : d.Layers)
    if (layer.State == 0) {
      layer.Name.clear();
      layer.ReadCleaned = 0;
    }

  for (size_t i = 0; i < d.OrderEntries(); ++i) {
    TEntJwwOrderItem& item = d.EntityOrder[i];
    const TEntJwwEntityHeader* header = d.HeaderOf(item.Kind, item.Index);
    if (!header || !IsOnHiddenLayer(d, *header)) continue;
    --d.CountOf(item.Kind);
    item.Kind = KindNone;
    ++result.RemovedElements;
  }

  const int32_t usedBefore = d.UsedBlockDefCount;
  if (d.BlockInsertCount == 0) {
    for (TEntJwwBlockDef& def : d.BlockDefs) {
      def.Order = {};
      def.ClearLists();
    }
    d.BlockDefs = {};
    d.BlockDefCount = 0;
    d.Header.DeclaredBlockDefCount = 0;
    d.BlockTree = {};
    d.BlockTreeCount = 0;
    d.UsedBlockDefCount = 0;
  } else {
    // Only definitions that a remaining insert reaches stay: one reached only
    // through a removed insert would carry hidden material into the output.
    d.RecomputeBlockUsage();
  }
  result.RemovedBlockDefs = usedBefore - d.UsedBlockDefCount;
  const std::vector<bool> shownAfter = d.ImagesShown();
  for (size_t i = 0; i < shownBefore.size(); ++i) result.RemovedImages += shownBefore[i] && !shownAfter[i];
  return result;
}

std::string FindHiddenMaterial(const TJwwData& d) {
  if (!HasLayerTables(d)) return {};
  for (size_t g = 0; g < 16; ++g)
    if (d.LayerGroups[g].State == 0 && !d.LayerGroups[g].Name.empty())
      return "the hidden layer group " + std::to_string(g) + " still has its name";
  for (size_t i = 0; i < 256; ++i)
    if (d.Layers[i].State == 0 && !d.Layers[i].Name.empty())
      return "the hidden layer " + std::to_string(i / 16) + "-" + std::to_string(i % 16) + " still has its name";
  std::vector<int32_t> inserts;
  for (size_t i = 0; i < d.OrderEntries(); ++i) {
    const TEntJwwOrderItem& item = d.EntityOrder[i];
    const TEntJwwEntityHeader* h = d.HeaderOf(item.Kind, item.Index);
    if (!h) continue;
    if (IsOnHiddenLayer(d, *h)) return "element " + std::to_string(i) + " lies on a hidden layer";
    if (item.Kind == KindBlock) inserts.push_back(d.BlockInserts[static_cast<size_t>(item.Index)].BlockNumber);
  }
  // The definitions written must be exactly those the remaining inserts reach.
  std::vector<bool> reached(d.BlockDefs.size(), false);
  const TFirstDefinitions first(d);
  while (!inserts.empty()) {
    const int32_t number = inserts.back();
    inserts.pop_back();
    const int32_t at = first.Find(number);
    if (at < 0 || reached[static_cast<size_t>(at)]) continue;
    reached[static_cast<size_t>(at)] = true;
    const TEntJwwElementLists& lists = d.BlockDefs[static_cast<size_t>(at)].Lists();
    for (size_t j = 0; j < Walkable(lists.BlockInserts.size(), lists.BlockInsertCount); ++j)
      inserts.push_back(lists.BlockInserts[j].BlockNumber);
  }
  for (size_t i = 0; i < d.WrittenBlockDefEntries(); ++i)
    if (d.BlockDefs[i].Used && !reached[i])
      return "block definition " + std::to_string(i) + " is written although no remaining insert reaches it";
  return {};
}

}  // namespace qm
