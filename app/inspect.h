// The window's inspection of a listed drawing before Convert: the dry run of
// a conversion along the one road (road.h), proof included, that reads every
// drawing whole to describe it. What it says a drawing will come to is what
// Convert makes of it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "jwwunit.h"
#include "purge.h"
#include "record.h"

namespace qm {

// Inspects one drawing with the given document (left empty), extracting its
// images into a folder of the document's own inside workFolder, as a
// conversion that removes also what remove asks would take it. Never raises.
TFileResult Inspect(const std::filesystem::path& source, TJwwData& document, const std::filesystem::path& workFolder,
                    const TAlsoRemove& remove = {});

// Every top-level element lies on a hidden group or layer: the output holds none.
bool AllHidden(const TFileResult& inspection) noexcept;
// Groups or layers are hidden but hold no element: only names are emptied.
bool HiddenEmpty(const TFileResult& inspection) noexcept;
// What the user should know beyond the outcome (UTF-8), in a fixed order.
std::vector<std::string> Warnings(const TFileResult& inspection);

}  // namespace qm
