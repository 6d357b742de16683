#include "purge.h"

#include <algorithm>
#include <optional>
#include <system_error>

#include "jwwmeaning.h"
#include "textconv.h"

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

int32_t MemoCharacters(const TJwwString& memo) {
  // As UTF-16 (what of a Shift-JIS memo does not decode counts as one
  // character each), in which every white space is one unit: Unicode's.
  const std::u16string units = memo.IsWide() ? std::u16string(memo.Units()) : Utf8ToUtf16(ToUtf8(memo)).value_or(u"");
  const auto space = [](char16_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
  };
  size_t from = 0, to = units.size();
  while (from < to && space(units[from])) ++from;
  while (to > from && space(units[to - 1])) --to;
  size_t characters = to - from;
  for (size_t i = from + 1; i < to; ++i)  // a surrogate pair is one character
    characters -= units[i - 1] >= 0xD800 && units[i - 1] <= 0xDBFF && units[i] >= 0xDC00 && units[i] <= 0xDFFF;
  return static_cast<int32_t>(characters);
}

bool AnythingToRemove(const TJwwData& d, const TAlsoRemove& also) {
  return HasHiddenLayer(d) || (also.Memo && MemoCharacters(d.Header.Memo) > 0);
}

bool AnythingToRemove(const TJwwData& d, const TAlsoRemove& also, const view::TElementKinds& kinds) {
  if (AnythingToRemove(d, also)) return true;
  const uint8_t asked = also.Elements();
  return asked && std::any_of(kinds.Of.begin(), kinds.Of.end(), [asked](uint8_t bits) { return (bits & asked) != 0; });
}

bool IsOnHiddenLayer(const TJwwData& d, const TEntJwwEntityHeader& h) {
  return d.LayerGroups[JwwMeaning::LayerNumber(h.LayerGroup)].State == 0 ||
         d.Layers[JwwMeaning::LayerIndex(h)].State == 0;
}

TPurgeResult PurgeHiddenMaterial(TJwwData& d, const TAlsoRemove& also, const view::TElementKinds* kinds) {
  TPurgeResult result;
  if (!HasLayerTables(d)) return result;
  const uint8_t asked = also.Elements();
  std::optional<view::TElementKinds> own;
  if (asked && !kinds) kinds = &own.emplace(view::ClassifyElements(d));
  const std::vector<bool> shownBefore = d.ImagesShown();

  if (also.Memo) {
    result.RemovedMemo = MemoCharacters(d.Header.Memo);
    if (result.RemovedMemo > 0) d.Header.Memo.clear();  // it keeps its form
  }

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
    if (!header) continue;
    if (IsOnHiddenLayer(d, *header)) {
      ++result.RemovedElements;
    } else {
      const uint8_t found = asked && i < kinds->Of.size() ? kinds->Of[i] & asked : 0;
      if (!found) continue;
      result.RemovedOffSheet += (found & view::OffSheetKind) != 0;
      result.RemovedTemporaryPoints += (found & view::TemporaryPointKind) != 0;
      result.RemovedAuxiliary += (found & view::AuxiliaryKind) != 0;
    }
    --d.CountOf(item.Kind);
    item.Kind = KindNone;
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

std::string FindHiddenMaterial(const TJwwData& d, const TAlsoRemove& also, const view::TElementKinds* kinds) {
  if (!HasLayerTables(d)) return {};
  if (also.Memo && MemoCharacters(d.Header.Memo) > 0) return "the memo is still there";
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
    if (also.TemporaryPoints && item.Kind == KindTen &&
        JwwMeaning::IsTemporaryPoint(d.Points[static_cast<size_t>(item.Index)]))
      return "element " + std::to_string(i) + " is a temporary point";
    if (also.Auxiliary && JwwMeaning::IsAuxiliary(*h, item.Kind, d.Header.Version))
      return "element " + std::to_string(i) + " is auxiliary";
    if (also.OffSheet && kinds && i < kinds->Of.size() && (kinds->Of[i] & view::OffSheetKind))
      return "element " + std::to_string(i) + " lies outside the sheet";
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
