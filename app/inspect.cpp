#include "inspect.h"

#include <map>
#include <new>
#include <utility>

#include "fileio.h"
#include "jwwmeaning.h"
#include "messages.h"
#include "purge.h"
#include "textconv.h"

namespace qm {

TDrawingFacts DescribeAndPurge(TJwwData& doc) {
  TDrawingFacts f;
  f.Version = doc.Header.Version;
  f.Wide = doc.WideStrings();
  for (int32_t k = KindSen; k <= KindBlock; ++k) f.Counts[static_cast<size_t>(k)] = doc.CountOf(k);
  f.Total = doc.TotalCount();
  f.BlockDefs = doc.BlockDefCount;
  f.UsedBlockDefs = doc.UsedBlockDefCount;
  for (const TEntJwwBlockDef& d : doc.BlockDefs)
    if (!d.Used) f.UnusedBlockNames.push_back(ToUtf8(d.Name));
  f.Images = doc.Images;
  if (doc.LayerGroups.size() != 16 || doc.Layers.size() != 256) return f;

  // Elements per written layer and group, for the hidden ones.
  std::map<std::pair<int, int>, int32_t> perLayer;
  std::array<int32_t, 16> perGroup{};
  for (size_t i = 0; i < doc.OrderEntries(); ++i) {
    if (const TEntJwwEntityHeader* h = doc.HeaderOf(doc.EntityOrder[i].Kind, doc.EntityOrder[i].Index)) {
      const int g = JwwMeaning::LayerNumber(h->LayerGroup), l = JwwMeaning::LayerNumber(h->Layer);
      ++perLayer[{g, l}];
      ++perGroup[static_cast<size_t>(g)];
    }
  }
  for (int g = 0; g < 16; ++g) {
    const TEntJwwLayerGroup& group = doc.LayerGroups[static_cast<size_t>(g)];
    if (group.State == 0) f.HiddenGroups.push_back({g, -1, ToUtf8(group.Name), perGroup[static_cast<size_t>(g)]});
    for (int l = 0; l < 16; ++l) {
      const TEntJwwLayer& layer = doc.Layers[static_cast<size_t>(g * 16 + l)];
      if (layer.State == 0) f.HiddenLayers.push_back({g, l, ToUtf8(layer.Name), perLayer[{g, l}]});
    }
  }
  f.HasHidden = HasHiddenLayer(doc);
  if (f.HasHidden) {
    const TPurgeResult purge = PurgeHiddenMaterial(doc);
    f.Removed = {purge.RemovedElements, purge.RemovedBlockDefs, purge.RemovedImages};
  }
  return f;
}

bool TInspection::AllHidden() const noexcept {
  return Loaded && Facts.HasHidden && Facts.Total > 0 && Facts.Removed.Elements == Facts.Total;
}

bool TInspection::HiddenEmpty() const noexcept { return Loaded && Facts.HasHidden && Facts.Removed.Elements == 0; }

std::vector<std::string> TInspection::Warnings() const {
  std::vector<std::string> out;
  if (Outcome == TOutcome::WouldConvert && AllHidden()) out.emplace_back(Msg::WarnAllHidden);
  if (Outcome == TOutcome::WouldConvert && HiddenEmpty()) out.emplace_back(Msg::WarnHiddenEmpty);
  // Nothing is hidden, so Convert passes it by, but the drawing does not
  // read completely: the user should hear of it before handing it on.
  if (Outcome == TOutcome::NothingHidden && !Loaded && !Detail.empty())
    out.push_back(std::string(Msg::WarnIncomplete) + ReasonWithoutPath(Detail, Source));
  return out;
}

std::string ReasonWithoutPath(const std::string& detail, const std::filesystem::path& source) {
  const std::string prefix = PathToUtf8(source) + ": ";
  return detail.starts_with(prefix) ? detail.substr(prefix.size()) : detail;
}

namespace {

// The tests a conversion makes, in its order, up to the purged document; the
// write to memory follows in Inspect.
void Examine(TInspection& r, TJwwData& doc, const std::filesystem::path& workFolder) {
  auto unreadable = [&](std::string detail, TJwwFailure kind) {
    r.Outcome = TOutcome::Unreadable;
    r.Detail = std::move(detail);
    r.Failure = kind;
  };
  uint64_t size = 0;
  if (auto refused = RefuseSource(r.Source, size)) {
    r.Outcome = refused->Outcome;
    r.Detail = std::move(refused->Detail);
    r.Failure = refused->Failure;
    return;
  }
  if (!doc.CheckSignature(r.Source)) return unreadable(NotADrawing(r.Source), TJwwFailure::Corrupt);

  TLoadOptions load;
  load.WorkFolder = workFolder;
  if (const TJwwStatus full = doc.LoadDocument(r.Source, load); !full) {
    // Convert decides on the quick load first: a drawing with nothing hidden
    // is passed by even when its elements do not read.
    const TJwwStatus quick = doc.LoadForLayerTest(r.Source, 1);
    if (quick) r.Facts.Version = doc.Header.Version;
    if (quick && !HasHiddenLayer(doc)) {
      r.Outcome = TOutcome::NothingHidden;
      r.Detail = full.Text();
      r.Failure = full.Kind;
      return;
    }
    return quick ? unreadable(full.Text(), full.Kind) : unreadable(quick.Text(), quick.Kind);
  }
  r.Loaded = true;
  r.Facts = DescribeAndPurge(doc);
  r.Outcome = r.Facts.HasHidden ? TOutcome::WouldConvert : TOutcome::NothingHidden;
}

}  // namespace

TInspection Inspect(const std::filesystem::path& source, TJwwData& doc, const std::filesystem::path& workFolder) {
  TInspection r;
  r.Source = source;
  try {
    Examine(r, doc, workFolder);
    if (r.Outcome == TOutcome::WouldConvert) {
      auto fail = [&r](std::string detail, TJwwFailure kind) {
        r.Outcome = TOutcome::Failed;
        r.Detail = std::move(detail);
        r.Failure = kind;
      };
      // What a conversion checks before it writes, and the write itself, to
      // memory: what passes here a conversion writes.
      if (const std::string leak = FindHiddenMaterial(doc); !leak.empty()) {
        fail(PathToUtf8(source) + ": not written: " + leak, TJwwFailure::Corrupt);
      } else {
        try {
          doc.Header.Signature = "JwwData.";
          doc.WriteToMemory(doc.Header.Version);
        } catch (const EJwwError& e) {
          fail(PathToUtf8(source) + ": " + e.Text(), e.Kind());
        } catch (const std::bad_alloc&) {
          fail(PathToUtf8(source) + ": not enough memory", TJwwFailure::IoError);
        }
      }
    }
  } catch (const std::exception& e) {
    r.Outcome = TOutcome::Failed;
    r.Detail = e.what();
    r.Failure = TJwwFailure::IoError;
  }
  doc.ClearDocument();  // the images' folder goes with it
  return r;
}

}  // namespace qm
