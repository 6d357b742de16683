// What a drawing holds and what Convert would make of it, without writing a
// file: the facts that `quillmark info` prints and the inspection the window
// shows for every listed drawing before it is converted.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "convert.h"
#include "jwwunit.h"

namespace qm {

// A hidden layer group (Layer -1) or a hidden layer, with the top-level
// elements that lie on it.
struct THiddenLayer {
  int Group = 0, Layer = -1;
  std::string Name;  // UTF-8
  int32_t Elements = 0;
  bool operator==(const THiddenLayer&) const = default;
};

// What a fully loaded drawing holds, and what a purge takes out of it.
struct TDrawingFacts {
  int32_t Version = 0;
  bool Wide = false;  // strings in the archive's wide form
  std::array<int32_t, 8> Counts{};  // live top-level elements by kind (1..7)
  int32_t Total = 0;
  int32_t BlockDefs = 0, UsedBlockDefs = 0;
  std::vector<std::string> UnusedBlockNames;
  std::vector<TBindImageType> Images;
  std::vector<THiddenLayer> HiddenGroups, HiddenLayers;
  bool HasHidden = false;  // a group or layer is hidden: Convert writes an output
  TRemovedCounts Removed;  // what the purge took out (when HasHidden)
};

// The facts of a fully loaded drawing. When something is hidden the document
// is purged as a conversion purges it (it is changed), and Removed says what
// went.
TDrawingFacts DescribeAndPurge(TJwwData& document);

// A drawing as the window shows it before Convert: what Convert would report
// for it, found the way a dry run finds it (the same tests, the full load,
// the purge, the guard, the write to memory and its check), and what the
// drawing holds.
struct TInspection {
  std::filesystem::path Source;
  // NotFound, NotJww, Unreadable, NothingHidden, WouldConvert or Failed.
  TOutcome Outcome = TOutcome::Unreadable;
  std::string Detail;  // why it is unreadable or would fail (UTF-8), else empty
  TJwwFailure Failure = TJwwFailure::None;
  // The drawing read completely: Facts are whole. A drawing whose header
  // reads (Outcome NothingHidden while its rest does not, or Unreadable after
  // its header) has only Facts.Version.
  bool Loaded = false;
  TDrawingFacts Facts;

  // Every top-level element lies on a hidden group or layer: the output holds none.
  bool AllHidden() const noexcept;
  // Groups or layers are hidden but hold no element: only names are emptied.
  bool HiddenEmpty() const noexcept;
  // What the user should know beyond the outcome (UTF-8), in a fixed order.
  std::vector<std::string> Warnings() const;
};

// Inspects one drawing with the given document (left empty), extracting its
// images into a folder of the document's own inside workFolder. Never raises.
TInspection Inspect(const std::filesystem::path& source, TJwwData& document, const std::filesystem::path& workFolder);

// A reason without the path it starts with ("<source>: truncated at ..."
// becomes "truncated at ...").
std::string ReasonWithoutPath(const std::string& detail, const std::filesystem::path& source);

}  // namespace qm
