// The document's life: reset, signature test, the two loads and the block
// bookkeeping that ends them.
#include <cstring>
#include <optional>

#include "jwwimagefiles.h"
#include "jwwunit.h"
#include "textconv.h"

namespace qm {

TJwwData::TJwwData() { ResetDocument(); }

TJwwData::~TJwwData() { ClearDocument(); }

void TJwwData::ResetDocument() {
  LayerGroups = {};
  Layers = {};
  PenSettings = {};
  LineTypePatterns = {};
  RandomLineTypes = {};
  DoubleLineTypes = {};
  ColorsEx = {};
  LineTypesEx = {};
  TextStyles = {};
  EntityOrder = {};
  ClearLists();
  BlockDefs = {};
  BlockDefCount = 0;
  BlockTree = {};
  BlockTreeCount = 0;
  UsedBlockDefCount = 0;
  ResetImages();  // the images' folder goes with them
  Header = TEntJwwHeader{};
}

void TJwwData::ClearDocument() {
  for (TEntJwwBlockDef& d : BlockDefs) {
    d.Order = {};
    d.ClearLists();
  }
  ResetDocument();
}

bool TJwwData::CheckSignature(const std::filesystem::path& path) const noexcept {
  return StartsWithDrawingSignature(path);
}

TJwwStatus TJwwData::LoadDocument(const std::filesystem::path& path, const TLoadOptions& options) {
  return Load(&path, nullptr, 0, false, 0, options);
}

TJwwStatus TJwwData::LoadDocument(const void* data, size_t size, const TLoadOptions& options) {
  return Load(nullptr, data, size, false, 0, options);
}

TJwwStatus TJwwData::LoadForLayerTest(const std::filesystem::path& path, int32_t MaxTags) {
  return Load(&path, nullptr, 0, true, MaxTags, {});
}

TJwwStatus TJwwData::LoadForLayerTest(const void* data, size_t size, int32_t MaxTags, const TLoadOptions& options) {
  return Load(nullptr, data, size, true, MaxTags, options);
}

// The one load: from a file (path) or from memory (data, size).
TJwwStatus TJwwData::Load(const std::filesystem::path* path, const void* data, size_t size, bool forLayerTest,
                          int32_t maxTags, const TLoadOptions& options) {
  ResetDocument();
  TJwwStatus status;
  const std::filesystem::path name = path ? *path : options.Name;
  ExtractInto_ = forLayerTest ? std::filesystem::path() : options.WorkFolder;
  ImagesInMemory_ = options.ImagesInMemory;
  std::optional<TJwwReader> file;
  try {
    if (path)
      file.emplace(*path);
    else
      file.emplace(data, size);
    ReadHeaderSection(*file);
    if (Header.Version < JwwLayout::MinVersion)
      throw EJwwError(8, "version " + std::to_string(Header.Version) + " is older than the oldest readable (" +
                             std::to_string(JwwLayout::MinVersion) + ")",
                      TJwwFailure::UnsupportedVersion);
    if (!forLayerTest && options.ContinueAfterHeader && !options.ContinueAfterHeader(*this)) {
      forLayerTest = true;
      maxTags = 1;
      ExtractInto_.clear();
    }
    if (forLayerTest)
      ReadEntitySectionForLayerTest(*file, maxTags);
    else
      ReadEntitySection(*file);
    file->Close();
  } catch (const EJwwError& e) {
    static_cast<TFailure&>(status) = TFailure::Of(e, file ? file->Section() : JwwContext::Source, name);
  } catch (const std::bad_alloc&) {
    static_cast<TFailure&>(status) = {TJwwFailure::IoError, std::nullopt,
                                      file ? file->Section() : JwwContext::Source, name,
                                      "not enough memory to hold the drawing"};
  }
  ExtractInto_.clear();
  FinishLoad();
  return status;
}

void TJwwData::FinishLoad() {
  std::vector<int32_t> numbers;
  const size_t n = Walkable(BlockInserts.size(), BlockInsertCount);
  numbers.reserve(n);
  for (size_t i = 0; i < n; ++i) numbers.push_back(BlockInserts[i].BlockNumber);
  ComputeBlockUsage(numbers);
}

void TJwwData::RecomputeBlockUsage() {
  std::vector<int32_t> numbers;
  for (size_t i = 0; i < OrderEntries(); ++i)
    if (EntityOrder[i].Kind == KindBlock && HeaderOf(KindBlock, EntityOrder[i].Index))
      numbers.push_back(BlockInserts[static_cast<size_t>(EntityOrder[i].Index)].BlockNumber);
  ComputeBlockUsage(numbers);
}

// Marks every definition that the given top-level inserts reach, directly or
// through inserts inside definitions, and numbers the marked ones 0, 1, 2 ...
// in BlockDefs order. Each definition's own inserts are followed once, so a
// definition that reaches itself cannot make the walk endless and a deep
// nesting cannot make it explode; the marks are those of following every
// placement.
void TJwwData::ComputeBlockUsage(const std::vector<int32_t>& topLevelNumbers) {
  BlockTree = {};
  BlockTreeCount = 0;
  UsedBlockDefCount = 0;
  for (TEntJwwBlockDef& d : BlockDefs) {
    d.Used = false;
    d.NewNumber = -1;
  }
  if (topLevelNumbers.empty()) return;

  const size_t defCount = BlockDefEntries();
  const TFirstDefinitions first(*this);
  auto place = [&](int32_t number) {
    const int32_t index = first.Find(number);
    BlockTree.push_back({number, index});
    if (index >= 0) BlockDefs[static_cast<size_t>(index)].Used = true;
  };
  for (int32_t number : topLevelNumbers) place(number);

  std::vector<bool> expanded(defCount, false);
  for (size_t i = 0; i < BlockTree.size(); ++i) {
    const int32_t index = BlockTree[i].BlockDefIndex;
    if (index < 0 || expanded[static_cast<size_t>(index)]) continue;
    expanded[static_cast<size_t>(index)] = true;
    const TEntJwwBlockDef& d = BlockDefs[static_cast<size_t>(index)];
    const TEntJwwElementLists& lists = d.Lists();
    const size_t inserts = Walkable(lists.BlockInserts.size(), lists.BlockInsertCount);
    for (size_t j = 0; j < inserts; ++j) place(lists.BlockInserts[j].BlockNumber);
  }
  BlockTreeCount = static_cast<int32_t>(BlockTree.size());

  for (size_t i = 0; i < defCount; ++i)
    if (BlockDefs[i].Used) BlockDefs[i].NewNumber = UsedBlockDefCount++;
}

}  // namespace qm
