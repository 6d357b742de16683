#include "purge.h"

#include <algorithm>
#include <system_error>

#include "Func_.h"
#include "workfolder.h"

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

bool IsOnHiddenLayer(const TJwwData& d, const TEntJwwEntityHeader& h) {
  const size_t g = WrittenLayerNumber(h.LayerGroup);
  const size_t l = WrittenLayerNumber(h.Layer);
  return d.LayerGroups[g].State == 0 || d.Layers[g * 16 + l].State == 0;
}

TPurgeResult PurgeHiddenMaterial(TJwwData& d) {
  TPurgeResult result;
  if (!HasLayerTables(d)) return result;

  for (TEntJwwLayerGroup& group : d.LayerGroups)
    if (group.State == 0) group.Name.clear();
  for (TEntJwwLayer& layer : d.Layers)
    if (layer.State == 0) layer.Name.clear();

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
  return result;
}

namespace {

void SummariseLayers(const TJwwData& d, TDrawingSummary& s) {
  if (!HasLayerTables(d)) return;
  for (size_t g = 0; g < 16; ++g) {
    s.GroupStates[g] = d.LayerGroups[g].State;
    s.GroupNamed[g] = !d.LayerGroups[g].Name.empty();
  }
  for (size_t i = 0; i < 256; ++i) {
    s.LayerStates[i] = d.Layers[i].State;
    s.LayerNamed[i] = !d.Layers[i].Name.empty();
  }
}

// The version, layer tables and top-level elements; layer numbers as the
// writer puts them when normalise is true.
TDrawingSummary SummariseElements(const TJwwData& d, bool normalise) {
  TDrawingSummary s;
  s.Version = d.Header.Version;
  SummariseLayers(d, s);
  for (size_t i = 0; i < d.OrderEntries(); ++i) {
    const TEntJwwOrderItem& item = d.EntityOrder[i];
    if (const TEntJwwEntityHeader* h = d.HeaderOf(item.Kind, item.Index))
      s.Elements.push_back({item.Kind, normalise ? WrittenLayerNumber(h->LayerGroup) : h->LayerGroup,
                            normalise ? WrittenLayerNumber(h->Layer) : h->Layer});
  }
  return s;
}

}  // namespace

TDrawingSummary SummariseForWrite(const TJwwData& d) {
  TDrawingSummary s = SummariseElements(d, true);
  for (size_t i = 0; i < d.WrittenBlockDefEntries(); ++i)
    if (d.BlockDefs[i].Used) s.BlockElementCounts.push_back(d.BlockDefs[i].TotalCount());
  if (JwwLayout::HasImageTable(d.Header.Version))
    for (const TBindImageType& image : TempFiles)
      if (image.InUse) {
        std::error_code ec;
        const auto path = ImageFilePath(image.FileName);
        const auto size = path ? std::filesystem::file_size(*path, ec) : 0;
        s.Images.push_back({image.FileName, ec ? 0 : static_cast<int64_t>(size)});
      }
  return s;
}

TDrawingSummary SummariseLoaded(const TJwwData& d) {
  TDrawingSummary s = SummariseElements(d, false);
  for (const TEntJwwBlockDef& def : d.BlockDefs) s.BlockElementCounts.push_back(def.TotalCount());
  for (const TBindImageType& image : d.Images) s.Images.push_back({image.FileName, image.Size});
  return s;
}

std::string CompareSummaries(const TDrawingSummary& e, const TDrawingSummary& a) {
  if (e.Version != a.Version)
    return "the written file has version " + std::to_string(a.Version) + " instead of " + std::to_string(e.Version);
  if (e.Elements.size() != a.Elements.size())
    return "the written file holds " + std::to_string(a.Elements.size()) + " elements where " +
           std::to_string(e.Elements.size()) + " were meant to remain";
  for (size_t i = 0; i < e.Elements.size(); ++i)
    if (!(e.Elements[i] == a.Elements[i])) return "element " + std::to_string(i) + " of the written file differs";
  if (e.BlockElementCounts != a.BlockElementCounts)
    return "the written file holds " + std::to_string(a.BlockElementCounts.size()) + " block definitions where " +
           std::to_string(e.BlockElementCounts.size()) + " were meant to remain, or their contents differ";
  if (e.Images != a.Images)
    return "the written file holds " + std::to_string(a.Images.size()) + " images where " +
           std::to_string(e.Images.size()) + " were meant to remain, or their sizes differ";
  if (e.GroupStates != a.GroupStates || e.LayerStates != a.LayerStates)
    return "the layer states of the written file differ";
  if (e.GroupNamed != a.GroupNamed || e.LayerNamed != a.LayerNamed)
    return "the layer names of the written file differ";
  for (const auto& el : a.Elements) {
    const size_t g = WrittenLayerNumber(el.LayerGroup), l = WrittenLayerNumber(el.Layer);
    if (a.GroupStates[g] == 0 || a.LayerStates[g * 16 + l] == 0)
      return "the written file holds an element on a hidden layer";
  }
  return {};
}

}  // namespace qm
