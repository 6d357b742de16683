// The bytes of a document's images (inside jww only): small ones in memory,
// the others in files of the document's own folder, named by their place in
// the image table.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "jwwunit.h"
#include "workfolder.h"

namespace qm {

class TJwwData::TImageFiles : public IImageSource {
 public:
  std::unique_ptr<TImageFolder> Folder;  // none when nothing was extracted
  struct TKept {
    uint64_t Size = 0;
    uint64_t Hash = 0;            // of the bytes as the drawing stored them
    std::vector<uint8_t> Memory;  // the bytes, when they are kept in memory
    bool InMemory = false;
  };
  uint64_t MemoryUsed = 0;
  std::vector<std::optional<TKept>> Kept;  // per entry of the table

  bool HasBytes(size_t index) const override { return index < Kept.size() && Kept[index].has_value(); }
  uint64_t ReadBytes(size_t index, const std::function<void(const uint8_t*, size_t)>& piece) const override;
  uint64_t HashOf(size_t index) const override { return HasBytes(index) ? Kept[index]->Hash : 0; }
};

}  // namespace qm
